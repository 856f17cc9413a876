#pragma once

#include <cstdint>
#include <span>

// Whether `file` holds one whole PNG image of `width` x `height` that a decoder reads to the end:
// the signature, an IHDR of that size, every chunk's checksum, image data that inflates to exactly
// the rows the header promises (each with a known filter), and nothing after IEND. Interlaced
// images and critical chunks not known here are not taken. The pixels themselves are not decoded.
bool isWholePng(std::span<const std::uint8_t> file, int width, int height);
