#pragma once

#include "mapped_memory.h"

#include <atomic>
#include <cstdint>
#include <exception>

// The captured desktop as 8-bit BGRX rows (the fourth byte is undefined). The grab fills it
// from the top while encoders read finished rows, so encoding overlaps the grab.
class Frame {
public:
    Frame(int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    std::size_t stride() const { return std::size_t(m_width) * 4; }
    std::uint8_t* row(int y) { return m_pixels.data() + stride() * std::size_t(y); }
    const std::uint8_t* row(int y) const { return m_pixels.data() + stride() * std::size_t(y); }

    // Producer side: rows [0, rows) are final.
    void publish(int rows);
    void fail(std::exception_ptr failure);

    // Consumer side: blocks until at least `rows` rows are final and returns how many are;
    // rethrows the grab's failure.
    int waitForRows(int rows) const;
    void waitForAll() const { waitForRows(m_height); }

private:
    static constexpr int kFailed = -1;

    int m_width;
    int m_height;
    MappedMemory m_pixels;
    std::atomic<int> m_ready{0};
    std::exception_ptr m_failure;
};
