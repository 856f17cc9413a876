#include "grab/pixel_layout.h"

#include "failure.h"

#include <bit>

PixelLayout::PixelLayout(int bitsPerPixel, bool msbFirst, std::uint32_t redMask, std::uint32_t greenMask,
                         std::uint32_t blueMask)
    : m_bitsPerPixel(bitsPerPixel), m_msbFirst(msbFirst),
      m_bgrx(bitsPerPixel == 32 && !msbFirst && redMask == 0xff0000 && greenMask == 0xff00 &&
             blueMask == 0xff),
      m_red(makeChannel(redMask)), m_green(makeChannel(greenMask)), m_blue(makeChannel(blueMask))
{
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        throw Failure("unsupported X pixel size of " + std::to_string(bitsPerPixel) + " bits");
}

PixelLayout::Channel PixelLayout::makeChannel(std::uint32_t mask)
{
    Channel channel;
    int bits = std::popcount(mask);
    if (bits == 0 || bits > 10 || !std::has_single_bit((mask >> std::countr_zero(mask)) + 1))
        throw Failure("unsupported X colour layout (channel mask " + std::to_string(mask) + ")");
    channel.shift = std::countr_zero(mask);
    channel.mask = mask;
    const unsigned max = (1u << bits) - 1;
    for (unsigned v = 0; v <= max; ++v)
        channel.to8[v] = std::uint8_t((v * 255 + max / 2) / max);
    return channel;
}

std::uint32_t PixelLayout::pixelAt(const std::uint8_t* p) const
{
    switch (m_bitsPerPixel) {
    case 16:
        return m_msbFirst ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
    case 24:
        return m_msbFirst ? (p[0] << 16 | p[1] << 8 | p[2]) : (p[2] << 16 | p[1] << 8 | p[0]);
    default:
        return m_msbFirst ? (std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3])
                          : (std::uint32_t(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0]);
    }
}

void PixelLayout::convertRow(const std::uint8_t* source, std::uint8_t* bgrx, int width) const
{
    const int step = bytesPerPixel();
    for (int x = 0; x < width; ++x, source += step, bgrx += 4) {
        std::uint32_t v = pixelAt(source);
        bgrx[0] = m_blue.to8[(v & m_blue.mask) >> m_blue.shift];
        bgrx[1] = m_green.to8[(v & m_green.mask) >> m_green.shift];
        bgrx[2] = m_red.to8[(v & m_red.mask) >> m_red.shift];
        bgrx[3] = 0xff;
    }
}
