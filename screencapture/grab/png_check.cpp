#include "grab/png_check.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <vector>

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
// The largest chunk length PNG allows.
constexpr std::uint32_t kLongestChunk = 0x7fffffff;
// The check inflates the image data whole; a larger image is left to the decoder, row by row.
// (Within a desktop's size, only images of 16-bit channels come near it.)
constexpr std::uint64_t kLargestImageData = std::uint64_t(1) << 30;

std::uint32_t bigEndian(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Bits per pixel of a colour type and bit depth that PNG allows; 0 for any other pair.
int bitsPerPixel(int colourType, int depth)
{
    const auto oneOf = [depth](std::initializer_list<int> depths) {
        return std::find(depths.begin(), depths.end(), depth) != depths.end();
    };
    switch (colourType) {
    case 0: // grey
        return oneOf({1, 2, 4, 8, 16}) ? depth : 0;
    case 3: // palette
        return oneOf({1, 2, 4, 8}) ? depth : 0;
    case 2: // RGB
        return oneOf({8, 16}) ? 3 * depth : 0;
    case 4: // grey and alpha
        return oneOf({8, 16}) ? 2 * depth : 0;
    case 6: // RGB and alpha
        return oneOf({8, 16}) ? 4 * depth : 0;
    default:
        return 0;
    }
}

// Whether the image data inflates to exactly `rows` rows of `rowBytes` (the filter type that starts
// each row included), each with a filter type PNG knows, with nothing after the end of the stream.
bool rowsInflate(const std::vector<std::uint8_t>& data, std::uint64_t rowBytes, int rows)
{
    const std::uint64_t expected = rowBytes * std::uint64_t(rows);
    std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    auto out = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(expected));
    std::size_t read = 0;
    std::size_t written = 0;
    if (!inflater ||
        libdeflate_zlib_decompress_ex(inflater.get(), data.data(), data.size(), out.get(),
                                      std::size_t(expected), &read, &written) != LIBDEFLATE_SUCCESS ||
        read != data.size() || written != expected)
        return false;
    for (std::uint64_t row = 0; row < expected; row += rowBytes) {
        if (out[row] > 4)
            return false;
    }
    return true;
}

} // namespace

bool isWholePng(std::span<const std::uint8_t> file, int width, int height)
{
    if (width <= 0 || height <= 0 || width > kLargestDesktopSide || height > kLargestDesktopSide ||
        static_cast<long long>(width) * height > kLargestDesktopPixels)
        return false;
    if (file.size() < sizeof kSignature || !std::equal(kSignature, kSignature + 8, file.begin()))
        return false;
    std::vector<std::uint8_t> data;
    std::uint64_t rowBytes = 0;
    std::uint64_t expected = 0; // the bytes the rows inflate to
    int colourType = -1;
    bool palette = false;
    bool dataSeen = false;
    bool dataEnded = false;
    for (std::size_t at = sizeof kSignature;;) {
        if (file.size() - at < 12)
            return false;
        const std::uint8_t* chunk = file.data() + at;
        const std::uint32_t length = bigEndian(chunk);
        if (length > kLongestChunk || length > file.size() - at - 12)
            return false;
        const std::uint8_t* type = chunk + 4;
        const std::uint8_t* body = chunk + 8;
        if (libdeflate_crc32(0, type, length + 4) != bigEndian(body + length))
            return false;
        if (!std::all_of(type, type + 4,
                         [](std::uint8_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }))
            return false;
        const auto is = [type](const char* name) { return std::memcmp(type, name, 4) == 0; };
        at += 12 + std::size_t(length);

        if (rowBytes == 0) {
            if (!is("IHDR") || length != 13 || bigEndian(body) != std::uint32_t(width) ||
                bigEndian(body + 4) != std::uint32_t(height))
                return false;
            const int depth = body[8];
            colourType = body[9];
            const int bits = bitsPerPixel(colourType, depth);
            // Compression, filter method and interlace: only the ones a decoder reads row by row.
            if (bits == 0 || body[10] != 0 || body[11] != 0 || body[12] != 0)
                return false;
            rowBytes = 1 + (std::uint64_t(width) * std::uint64_t(bits) + 7) / 8;
            expected = rowBytes * std::uint64_t(height);
            if (expected > kLargestImageData)
                return false;
        } else if (is("IDAT")) {
            // More than the rows could take, stored uncompressed, is no image data of these rows.
            if (dataEnded || (colourType == 3 && !palette) ||
                data.size() + length > expected + expected / 1024 + 64)
                return false;
            data.insert(data.end(), body, body + length);
            dataSeen = true;
        } else if (is("IEND")) {
            return at == file.size() && rowsInflate(data, rowBytes, height);
        } else {
            dataEnded = dataSeen;
            if (is("PLTE")) {
                if (dataSeen || palette)
                    return false;
                palette = true;
            } else if ((type[0] & 0x20) == 0) {
                return false; // a critical chunk not known here: IHDR again, or of a newer PNG
            }
        }
    }
}
