#include "encode/bgrx_to_rgb.h"
#include "encode/encoders.h"
#include "failure.h"
#include "prefaulted_memory.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

void putLittleEndian(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

} // namespace

// 24-bit uncompressed, rows stored bottom-up: the variant every reader understands.
void encodeBmp(Frame& frame, FileWriter& file)
{
    const std::size_t rowBytes = (std::size_t(frame.width()) * 3 + 3) & ~std::size_t(3);
    const std::size_t pixelBytes = rowBytes * std::size_t(frame.height());
    std::uint8_t header[54] = {'B', 'M'};
    // The file's size is a field of 32 bits: a larger file would say a size cut short.
    if (sizeof header + pixelBytes > UINT32_MAX)
        throw Failure("cannot write '" + file.name() + "': " + std::to_string(frame.width()) + " x " +
                      std::to_string(frame.height()) + " pixels is more than a BMP file holds (4 GiB)");
    putLittleEndian(header + 2, std::uint32_t(sizeof header + pixelBytes));
    putLittleEndian(header + 10, sizeof header);
    putLittleEndian(header + 14, 40); // BITMAPINFOHEADER
    putLittleEndian(header + 18, std::uint32_t(frame.width()));
    putLittleEndian(header + 22, std::uint32_t(frame.height()));
    header[26] = 1;  // planes
    header[28] = 24; // bits per pixel
    putLittleEndian(header + 34, std::uint32_t(pixelBytes));
    putLittleEndian(header + 38, 2835); // 72 dpi, in pixels per metre
    putLittleEndian(header + 42, 2835);

    PrefaultedMemory pixels(pixelBytes);
    for (int s = 0; s < frame.stripes(); ++s) {
        const std::uint8_t* stripe = frame.waitForStripe(s);
        for (int r = 0; r < frame.rowsOf(s); ++r) {
            const int y = Frame::topOf(s) + r;
            bgrxToBgr(stripe + frame.stride() * std::size_t(r),
                      pixels.data() + rowBytes * std::size_t(frame.height() - 1 - y), frame.width());
        }
        frame.release(s);
    }
    file.write(header, sizeof header);
    file.write(pixels.data(), pixels.size());
}
