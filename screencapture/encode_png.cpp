#include "encode.h"
#include "failure.h"
#include "mapped_memory.h"

#include <cstring>
#include <libdeflate.h>
#include <memory>

namespace {

struct FreeCompressor {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// Level 1 with the SUB filter: screenshots are mostly flat areas and text, where the fastest
// level already finds the long runs, and higher levels cost far more time than they save bytes.
constexpr int kLevel = 1;

void putBigEndian(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

void writeChunk(ByteSink& sink, const char type[4], const std::uint8_t* data, std::size_t size)
{
    std::uint8_t head[8];
    putBigEndian(head, std::uint32_t(size));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    if (size > 0) // a null buffer would restart the CRC
        crc = libdeflate_crc32(crc, data, size);
    std::uint8_t tail[4];
    putBigEndian(tail, crc);
    sink.write(head, sizeof head);
    sink.write(data, size);
    sink.write(tail, sizeof tail);
}

// One filtered scanline: the SUB filter type byte, then RGB differences to the left pixel.
void filterRow(const std::uint8_t* bgrx, std::uint8_t* out, int width)
{
    *out++ = 1;
    std::uint8_t r = 0, g = 0, b = 0;
    for (int x = 0; x < width; ++x, bgrx += 4, out += 3) {
        out[0] = std::uint8_t(bgrx[2] - r);
        out[1] = std::uint8_t(bgrx[1] - g);
        out[2] = std::uint8_t(bgrx[0] - b);
        r = bgrx[2], g = bgrx[1], b = bgrx[0];
    }
}

} // namespace

void encodePng(const Frame& frame, ByteSink& sink)
{
    const std::size_t rowBytes = std::size_t(frame.width()) * 3 + 1;
    MappedMemory filtered(rowBytes * std::size_t(frame.height()));
    std::unique_ptr<libdeflate_compressor, FreeCompressor> compressor(libdeflate_alloc_compressor(kLevel));
    if (!compressor)
        throw Failure("out of memory for the PNG compressor");
    MappedMemory compressed(libdeflate_zlib_compress_bound(compressor.get(), filtered.size()));

    for (int y = 0, ready = 0; y < frame.height(); ++y) {
        if (y >= ready)
            ready = frame.waitForRows(y + 1);
        filterRow(frame.row(y), filtered.data() + rowBytes * std::size_t(y), frame.width());
    }
    std::size_t size = libdeflate_zlib_compress(compressor.get(), filtered.data(), filtered.size(),
                                                compressed.data(), compressed.size());

    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    sink.write(kSignature, sizeof kSignature);
    std::uint8_t header[13] = {};
    putBigEndian(header, std::uint32_t(frame.width()));
    putBigEndian(header + 4, std::uint32_t(frame.height()));
    header[8] = 8; // bits per channel
    header[9] = 2; // RGB
    writeChunk(sink, "IHDR", header, sizeof header);
    writeChunk(sink, "IDAT", compressed.data(), size);
    writeChunk(sink, "IEND", nullptr, 0);
}
