#pragma once

#include <cstdint>
#include <span>

// The largest picture taken for a desktop's: no side longer than 32767 pixels (where the pixel
// coordinates of X and of pixman end), and no more pixels than four 8K screens show together. A
// PNG file claims its size in a few bytes; a larger claim is refused before anything is allocated.
constexpr int kLargestDesktopSide = 32767;
constexpr long long kLargestDesktopPixels = 1LL << 27;

// Whether `file` holds one whole PNG image of `width` x `height` that a decoder reads to the end:
// the signature, an IHDR of that size (a desktop's at most), every chunk's checksum and name (four
// ASCII letters), image data that inflates to exactly the rows the header promises (each with a
// known filter), and nothing after IEND. Interlaced images and critical chunks not known here are
// not taken. The pixels themselves are not decoded; nothing larger than the file and the rows the
// header promises (both bounded) is allocated.
bool isWholePng(std::span<const std::uint8_t> file, int width, int height);
