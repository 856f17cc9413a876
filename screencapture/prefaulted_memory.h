#pragma once

#include <cstddef>
#include <cstdint>

// Anonymous memory whose pages are faulted in when it is made. Touching fresh pages one by one
// costs far more than populating them in one go, and every large buffer of a capture is fresh.
class PrefaultedMemory {
public:
    PrefaultedMemory() = default;
    explicit PrefaultedMemory(std::size_t size);
    PrefaultedMemory(PrefaultedMemory&& other) noexcept;
    PrefaultedMemory& operator=(PrefaultedMemory&& other) noexcept;
    PrefaultedMemory(const PrefaultedMemory&) = delete;
    PrefaultedMemory& operator=(const PrefaultedMemory&) = delete;
    ~PrefaultedMemory();

    std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};
