#include "grab/png_check.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>
#include <zlib.h>

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
// The largest chunk length PNG allows.
constexpr std::uint32_t kLongestChunk = 0x7fffffff;

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

// The image data inflated as it comes, counted and its rows' filter types checked, but not kept.
class ImageData {
public:
    ImageData(std::uint64_t rowBytes, int rows)
        : m_rowBytes(rowBytes), m_expected(rowBytes * std::uint64_t(rows)), m_out(64 * 1024)
    {
        m_ready = inflateInit(&m_stream) == Z_OK;
    }
    ImageData(const ImageData&) = delete;
    ImageData& operator=(const ImageData&) = delete;
    ~ImageData()
    {
        if (m_ready)
            inflateEnd(&m_stream);
    }

    bool feed(const std::uint8_t* data, std::uint32_t size);
    bool complete() const { return m_ended && m_seen == m_expected; }

private:
    z_stream m_stream{};
    bool m_ready = false;
    bool m_ended = false;
    std::uint64_t m_rowBytes; // with the filter type that starts each row
    std::uint64_t m_expected;
    std::uint64_t m_seen = 0;
    std::uint64_t m_nextRow = 0;
    std::vector<std::uint8_t> m_out;
};

bool ImageData::feed(const std::uint8_t* data, std::uint32_t size)
{
    if (!m_ready || (m_ended && size > 0))
        return false;
    m_stream.next_in = const_cast<Bytef*>(data);
    m_stream.avail_in = size;
    while (!m_ended && (m_stream.avail_in > 0 || m_stream.avail_out == 0)) {
        m_stream.next_out = m_out.data();
        m_stream.avail_out = uInt(m_out.size());
        const int result = inflate(&m_stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END)
            m_ended = true;
        else if (result == Z_BUF_ERROR)
            break; // nothing more without the next chunk
        else if (result != Z_OK)
            return false;
        const std::uint64_t produced = m_out.size() - m_stream.avail_out;
        if (m_seen + produced > m_expected)
            return false;
        for (; m_nextRow < m_seen + produced; m_nextRow += m_rowBytes) {
            if (m_out[m_nextRow - m_seen] > 4)
                return false;
        }
        m_seen += produced;
    }
    // Nothing may follow the end of the stream.
    return !m_ended || m_stream.avail_in == 0;
}

} // namespace

bool isWholePng(std::span<const std::uint8_t> file, int width, int height)
{
    if (file.size() < sizeof kSignature || !std::equal(kSignature, kSignature + 8, file.begin()))
        return false;
    std::optional<ImageData> data;
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
        if (crc32(0, type, length + 4) != bigEndian(body + length))
            return false;
        const auto is = [type](const char* name) { return std::memcmp(type, name, 4) == 0; };
        at += 12 + std::size_t(length);

        if (!data) {
            if (!is("IHDR") || length != 13 || bigEndian(body) != std::uint32_t(width) ||
                bigEndian(body + 4) != std::uint32_t(height))
                return false;
            const int depth = body[8];
            colourType = body[9];
            const int bits = bitsPerPixel(colourType, depth);
            // Compression, filter method and interlace: only the ones a decoder reads row by row.
            if (bits == 0 || body[10] != 0 || body[11] != 0 || body[12] != 0 || width <= 0 || height <= 0)
                return false;
            data.emplace(1 + (std::uint64_t(width) * std::uint64_t(bits) + 7) / 8, height);
        } else if (is("IDAT")) {
            if (dataEnded || (colourType == 3 && !palette) || !data->feed(body, length))
                return false;
            dataSeen = true;
        } else if (is("IEND")) {
            return at == file.size() && data->complete();
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
