#include "encode.h"
#include "failure.h"

#include <atomic>
#include <cstring>
#include <exception>
#include <libdeflate.h>
#include <memory>
#include <thread>
#include <vector>
#include <zlib.h>

namespace {

// Level 1: screenshots are mostly flat areas and text, where the fastest level already finds
// the long runs; higher levels cost far more time than they save bytes.
constexpr int kLevel = 1;
// The image is compressed in bands of rows, each on whichever core is free, as soon as its
// rows are grabbed. Each band ends on a byte boundary (a sync flush), so that the bands joined
// in order are one zlib stream, as PNG requires.
constexpr int kBandRows = 64;

struct Band {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;
    std::uint32_t adler = 1;
    std::size_t filteredSize = 0;
};

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

void compressBands(const Frame& frame, std::vector<Band>& bands, std::atomic<int>& next)
{
    const std::size_t rowBytes = std::size_t(frame.width()) * 3 + 1;
    auto filtered = std::make_unique_for_overwrite<std::uint8_t[]>(rowBytes * kBandRows);
    z_stream z{};
    if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw Failure("out of memory for the PNG compressor");
    std::unique_ptr<z_stream, int (*)(z_stream*)> end(&z, deflateEnd);
    for (int b; (b = next++) < int(bands.size());) {
        const int top = b * kBandRows;
        const int rows = std::min(kBandRows, frame.height() - top);
        frame.waitForRows(top + rows);
        for (int r = 0; r < rows; ++r)
            filterRow(frame.row(top + r), filtered.get() + rowBytes * std::size_t(r), frame.width());
        Band& band = bands[std::size_t(b)];
        band.filteredSize = rowBytes * std::size_t(rows);
        band.adler = libdeflate_adler32(1, filtered.get(), band.filteredSize);
        const std::size_t bound = deflateBound(&z, band.filteredSize) + 16;
        band.data = std::make_unique_for_overwrite<std::uint8_t[]>(bound);
        deflateReset(&z);
        z.next_in = filtered.get();
        z.avail_in = uInt(band.filteredSize);
        z.next_out = band.data.get();
        z.avail_out = uInt(bound);
        const bool last = b + 1 == int(bands.size());
        if (deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH) == Z_STREAM_ERROR || z.avail_in != 0)
            throw Failure("PNG compression failed");
        band.size = bound - z.avail_out;
    }
}

} // namespace

void encodePng(const Frame& frame, ByteSink& sink)
{
    std::vector<Band> bands(std::size_t((frame.height() + kBandRows - 1) / kBandRows));
    std::atomic<int> next{0};
    std::exception_ptr helperFailure;
    {
        std::jthread helper([&] {
            try {
                compressBands(frame, bands, next);
            } catch (...) {
                helperFailure = std::current_exception();
            }
        });
        compressBands(frame, bands, next);
    }
    if (helperFailure)
        std::rethrow_exception(helperFailure);

    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    sink.write(kSignature, sizeof kSignature);
    std::uint8_t header[13] = {};
    putBigEndian(header, std::uint32_t(frame.width()));
    putBigEndian(header + 4, std::uint32_t(frame.height()));
    header[8] = 8; // bits per channel
    header[9] = 2; // RGB
    writeChunk(sink, "IHDR", header, sizeof header);

    // One IDAT chunk: the zlib header, the bands, the checksum of all filtered bytes.
    static constexpr std::uint8_t kZlibHeader[2] = {0x78, 0x01};
    std::size_t size = sizeof kZlibHeader + 4;
    std::uint32_t adler = 1;
    for (const Band& band : bands) {
        size += band.size;
        adler = std::uint32_t(adler32_combine(adler, band.adler, z_off_t(band.filteredSize)));
    }
    std::uint8_t head[8];
    putBigEndian(head, std::uint32_t(size));
    std::memcpy(head + 4, "IDAT", 4);
    std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    crc = libdeflate_crc32(crc, kZlibHeader, sizeof kZlibHeader);
    sink.write(head, sizeof head);
    sink.write(kZlibHeader, sizeof kZlibHeader);
    for (const Band& band : bands) {
        crc = libdeflate_crc32(crc, band.data.get(), band.size);
        sink.write(band.data.get(), band.size);
    }
    std::uint8_t tail[8];
    putBigEndian(tail, adler);
    putBigEndian(tail + 4, libdeflate_crc32(crc, tail, 4));
    sink.write(tail, sizeof tail);
    writeChunk(sink, "IEND", nullptr, 0);
}
