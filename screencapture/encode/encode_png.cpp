#include "encode/encoders.h"
#include "encode/in_order_writer.h"
#include "encode/run_on_both_cores.h"
#include "failure.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <libdeflate.h>
#include <memory>
#include <vector>
#include <zlib.h>

namespace {

// Level 1: screenshots are mostly flat areas and text, where the fastest level already finds
// the long runs; higher levels cost far more time than they save bytes.
constexpr int kLevel = 1;
// Each stripe is compressed the way that suits its content. Where most pixels repeat the one
// above, the rest is mostly text and window edges, whose shapes recur and which level 1's
// matching packs tightly. Elsewhere, photos and video, few strings recur: matching costs twice
// the time of plain run-length coding there, and saves nothing.
constexpr double kMatchingFromUnchanged = 0.7;

// The image is compressed one stripe at a time, each on whichever core is free, as soon as it
// is grabbed. Each stripe's data ends on a byte boundary (a sync flush), so that the pieces
// joined in order are one zlib stream, as PNG requires; each goes to the file in an IDAT chunk
// of its own as soon as the pieces before it are written.
struct Piece {
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

void writeChunk(FileWriter& file, const char type[4], const std::uint8_t* data, std::size_t size)
{
    std::uint8_t head[8];
    putBigEndian(head, std::uint32_t(size));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    if (size > 0) // a null buffer would restart the CRC
        crc = libdeflate_crc32(crc, data, size);
    std::uint8_t tail[4];
    putBigEndian(tail, crc);
    file.write(head, sizeof head);
    file.write(data, size);
    file.write(tail, sizeof tail);
}

// The SUB filter: the filter type byte, then RGB differences to the pixel on the left.
void filterSub(const std::uint8_t* bgrx, std::uint8_t* out, int width)
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

// The UP filter: RGB differences to the pixel above. Returns how many pixels are unchanged.
int filterUp(const std::uint8_t* bgrx, const std::uint8_t* above, std::uint8_t* out, int width)
{
    *out++ = 2;
    int unchanged = 0;
    for (int x = 0; x < width; ++x, bgrx += 4, above += 4, out += 3) {
        out[0] = std::uint8_t(bgrx[2] - above[2]);
        out[1] = std::uint8_t(bgrx[1] - above[1]);
        out[2] = std::uint8_t(bgrx[0] - above[0]);
        unchanged += (out[0] | out[1] | out[2]) == 0;
    }
    return unchanged;
}

struct Filtered {
    std::size_t size;
    bool suitsMatching;
};

// UP suits screens: text, flat areas and window edges repeat the row above, and become long
// runs of zero bytes. The first row of the image has nothing above and looks left instead.
Filtered filterStripe(Frame& frame, int stripe, std::uint8_t* out)
{
    const std::size_t rowBytes = std::size_t(frame.width()) * 3 + 1;
    const std::uint8_t* pixels = frame.waitForStripe(stripe);
    const std::uint8_t* above = nullptr;
    if (stripe > 0)
        above = frame.waitForStripe(stripe - 1) + frame.stride() * (Frame::kStripeRows - 1);
    const int rows = frame.rowsOf(stripe);
    int unchanged = 0;
    for (int r = 0; r < rows; ++r) {
        const std::uint8_t* row = pixels + frame.stride() * std::size_t(r);
        std::uint8_t* filtered = out + rowBytes * std::size_t(r);
        if (above)
            unchanged += filterUp(row, above, filtered, frame.width());
        else
            filterSub(row, filtered, frame.width());
        above = row;
    }
    frame.release(stripe);
    return {rowBytes * std::size_t(rows), unchanged >= kMatchingFromUnchanged * rows * frame.width()};
}

void compressStripes(Frame& frame, std::vector<Piece>& pieces, std::atomic<int>& next, InOrderWriter& inOrder)
{
    const std::size_t rowBytes = std::size_t(frame.width()) * 3 + 1;
    auto filtered = std::make_unique_for_overwrite<std::uint8_t[]>(rowBytes * Frame::kStripeRows);
    z_stream z{};
    if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw Failure("out of memory for the PNG compressor");
    std::unique_ptr<z_stream, int (*)(z_stream*)> end(&z, deflateEnd);
    for (int s; (s = next++) < frame.stripes();) {
        Piece& piece = pieces[std::size_t(s)];
        const Filtered stripe = filterStripe(frame, s, filtered.get());
        piece.filteredSize = stripe.size;
        piece.adler = libdeflate_adler32(1, filtered.get(), piece.filteredSize);
        // Right after a reset, changing the strategy flushes nothing.
        deflateReset(&z);
        if (deflateParams(&z, kLevel, stripe.suitsMatching ? Z_DEFAULT_STRATEGY : Z_RLE) != Z_OK)
            throw Failure("PNG compression failed");
        const std::size_t bound = deflateBound(&z, piece.filteredSize) + 16;
        piece.data = std::make_unique_for_overwrite<std::uint8_t[]>(bound);
        z.next_in = filtered.get();
        z.avail_in = uInt(piece.filteredSize);
        z.next_out = piece.data.get();
        z.avail_out = uInt(bound);
        const bool last = s + 1 == frame.stripes();
        if (deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH) == Z_STREAM_ERROR || z.avail_in != 0)
            throw Failure("PNG compression failed");
        piece.size = bound - z.avail_out;
        inOrder.finished(s);
    }
}

// One piece in an IDAT chunk: the first also carries the zlib header, the last the checksum
// of all filtered bytes.
class IdatWriter {
public:
    IdatWriter(std::vector<Piece>& pieces, FileWriter& file) : m_pieces(pieces), m_file(file) {}

    void operator()(int index)
    {
        static constexpr std::uint8_t kZlibHeader[2] = {0x78, 0x01};
        Piece& piece = m_pieces[std::size_t(index)];
        const bool first = index == 0;
        const bool last = index + 1 == int(m_pieces.size());
        m_adler = std::uint32_t(adler32_combine(m_adler, piece.adler, z_off_t(piece.filteredSize)));
        std::uint8_t checksum[4];
        putBigEndian(checksum, m_adler);

        std::uint8_t head[8];
        putBigEndian(head, std::uint32_t((first ? sizeof kZlibHeader : 0) + piece.size + (last ? 4 : 0)));
        std::memcpy(head + 4, "IDAT", 4);
        std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
        m_file.write(head, sizeof head);
        if (first) {
            crc = libdeflate_crc32(crc, kZlibHeader, sizeof kZlibHeader);
            m_file.write(kZlibHeader, sizeof kZlibHeader);
        }
        crc = libdeflate_crc32(crc, piece.data.get(), piece.size);
        m_file.write(piece.data.get(), piece.size);
        if (last) {
            crc = libdeflate_crc32(crc, checksum, sizeof checksum);
            m_file.write(checksum, sizeof checksum);
        }
        std::uint8_t tail[4];
        putBigEndian(tail, crc);
        m_file.write(tail, sizeof tail);
        piece.data.reset();
    }

private:
    std::vector<Piece>& m_pieces;
    FileWriter& m_file;
    std::uint32_t m_adler = 1;
};

} // namespace

void encodePng(Frame& frame, FileWriter& file)
{
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    file.write(kSignature, sizeof kSignature);
    std::uint8_t header[13] = {};
    putBigEndian(header, std::uint32_t(frame.width()));
    putBigEndian(header + 4, std::uint32_t(frame.height()));
    header[8] = 8; // bits per channel
    header[9] = 2; // RGB
    writeChunk(file, "IHDR", header, sizeof header);

    std::vector<Piece> pieces(std::size_t(frame.stripes()));
    IdatWriter idat(pieces, file);
    InOrderWriter inOrder(frame.stripes(), std::ref(idat));
    std::atomic<int> next{0};
    runOnBothCores(frame, [&] { compressStripes(frame, pieces, next, inOrder); });
    writeChunk(file, "IEND", nullptr, 0);
}
