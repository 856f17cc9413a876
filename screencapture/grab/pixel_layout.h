#pragma once

#include <array>
#include <cstdint>

// How the server lays out a TrueColor pixel, and its conversion to 8-bit BGRX.
class PixelLayout {
public:
    PixelLayout() = default;
    PixelLayout(int bitsPerPixel, bool msbFirst, std::uint32_t redMask, std::uint32_t greenMask,
                std::uint32_t blueMask);

    int bytesPerPixel() const { return m_bitsPerPixel / 8; }
    // True when server rows already are BGRX and can be copied as they are.
    bool isBgrx() const { return m_bgrx; }
    void convertRow(const std::uint8_t* source, std::uint8_t* bgrx, int width) const;

private:
    struct Channel {
        int shift = 0;
        std::uint32_t mask = 0;
        std::array<std::uint8_t, 1024> to8{}; // channel value (at most 10 bits) scaled to 8 bits
    };
    static Channel makeChannel(std::uint32_t mask);
    std::uint32_t pixelAt(const std::uint8_t* p) const;

    int m_bitsPerPixel = 32;
    bool m_msbFirst = false;
    bool m_bgrx = true;
    Channel m_red, m_green, m_blue;
};
