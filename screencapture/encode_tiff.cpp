#include "encode.h"
#include "failure.h"
#include "rgb_row.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

namespace {

struct CloseTiff {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// libtiff reports through a global handler; keep its last word for our own message.
thread_local std::string lastTiffError;

void recordError(const char* module, const char* format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    lastTiffError = module ? std::string(module) + ": " + text : text;
}

} // namespace

void encodeTiff(Frame& frame, ByteSink& sink)
{
    TIFFSetErrorHandler(recordError);
    TIFFSetWarningHandler(nullptr);
    // TIFFClose closes its descriptor, and the sink's stays ours.
    int fd = dup(sink.fd());
    if (fd < 0)
        sink.fail(errno);
    std::unique_ptr<TIFF, CloseTiff> tiff(TIFFFdOpen(fd, sink.name().c_str(), "w"));
    if (!tiff) {
        close(fd);
        throw Failure("cannot write '" + sink.name() + "': " + lastTiffError);
    }
    TIFF* t = tiff.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(frame.width()));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(frame.height()));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    // Deflate with the horizontal predictor: lossless, compact for screen content, widely read.
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(t, TIFFTAG_ZIPQUALITY, 1);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));

    std::vector<std::uint8_t> rgb(std::size_t(frame.width()) * 3);
    for (int s = 0; s < frame.stripes(); ++s) {
        const std::uint8_t* pixels = frame.waitForStripe(s);
        for (int r = 0; r < frame.rowsOf(s); ++r) {
            bgrxToRgb(pixels + frame.stride() * std::size_t(r), rgb.data(), frame.width());
            if (TIFFWriteScanline(t, rgb.data(), std::uint32_t(Frame::topOf(s) + r), 0) < 0)
                throw Failure("cannot write '" + sink.name() + "': " + lastTiffError);
        }
        frame.release(s);
    }
    if (!TIFFFlush(t))
        throw Failure("cannot write '" + sink.name() + "': " + lastTiffError);
}
