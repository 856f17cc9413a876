#pragma once

#include <cstdint>

// 8-bit BGRX to packed RGB or BGR, the layouts TIFF and BMP files store.
inline void bgrxToRgb(const std::uint8_t* bgrx, std::uint8_t* rgb, int width)
{
    for (int x = 0; x < width; ++x, bgrx += 4, rgb += 3)
        rgb[0] = bgrx[2], rgb[1] = bgrx[1], rgb[2] = bgrx[0];
}

inline void bgrxToBgr(const std::uint8_t* bgrx, std::uint8_t* bgr, int width)
{
    for (int x = 0; x < width; ++x, bgrx += 4, bgr += 3)
        bgr[0] = bgrx[0], bgr[1] = bgrx[1], bgr[2] = bgrx[2];
}
