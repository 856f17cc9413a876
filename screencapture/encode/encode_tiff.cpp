#include "encode/bgrx_to_rgb.h"
#include "encode/encoders.h"
#include "failure.h"
#include "shared_library.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

namespace {

// The libtiff functions this encoder calls; the library is loaded for TIFF captures only.
struct Tiff {
    SharedLibrary library{"libtiff.so.6"};
    LIBRARY_FUNCTION(setErrorHandler, TIFFSetErrorHandler);
    LIBRARY_FUNCTION(setWarningHandler, TIFFSetWarningHandler);
    LIBRARY_FUNCTION(fdOpen, TIFFFdOpen);
    LIBRARY_FUNCTION(close, TIFFClose);
    LIBRARY_FUNCTION(setField, TIFFSetField);
    LIBRARY_FUNCTION(defaultStripSize, TIFFDefaultStripSize);
    LIBRARY_FUNCTION(writeScanline, TIFFWriteScanline);
    LIBRARY_FUNCTION(flush, TIFFFlush);
};

// libtiff reports through a global handler; keep its last word for our own message. A failed
// write reaches the handler with the write's errno still set, which says more to the user ("No
// space left on device") than libtiff's "Write error at scanline 28", so the handler keeps it
// too; callers clear errno before each call into libtiff so that an old value is not taken.
thread_local std::string lastTiffError;
thread_local int lastTiffErrno = 0;

void recordError(const char* module, const char* format, va_list arguments)
{
    lastTiffErrno = errno;
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    lastTiffError = module ? std::string(module) + ": " + text : text;
}

[[noreturn]] void failWriting(const FileWriter& file)
{
    if (lastTiffErrno != 0)
        file.fail(lastTiffErrno);
    throw Failure("cannot write '" + file.name() + "': " + lastTiffError);
}

} // namespace

void encodeTiff(Frame& frame, FileWriter& file)
{
    const Tiff lib;
    lib.setErrorHandler(recordError);
    lib.setWarningHandler(nullptr);
    // TIFFClose closes its descriptor, and the file's stays ours.
    int fd = dup(file.fd());
    if (fd < 0)
        file.fail(errno);
    std::unique_ptr<TIFF, decltype(lib.close)> tiff(lib.fdOpen(fd, file.name().c_str(), "w"), lib.close);
    if (!tiff) {
        close(fd);
        throw Failure("cannot write '" + file.name() + "': " + lastTiffError);
    }
    TIFF* t = tiff.get();
    lib.setField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(frame.width()));
    lib.setField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(frame.height()));
    lib.setField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    lib.setField(t, TIFFTAG_BITSPERSAMPLE, 8);
    lib.setField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    lib.setField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    lib.setField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    // Deflate with the horizontal predictor: lossless, compact for screen content, widely read.
    lib.setField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    lib.setField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    lib.setField(t, TIFFTAG_ZIPQUALITY, 1);
    lib.setField(t, TIFFTAG_ROWSPERSTRIP, lib.defaultStripSize(t, 0));

    std::vector<std::uint8_t> rgb(std::size_t(frame.width()) * 3);
    for (int s = 0; s < frame.stripes(); ++s) {
        const std::uint8_t* pixels = frame.waitForStripe(s);
        for (int r = 0; r < frame.rowsOf(s); ++r) {
            bgrxToRgb(pixels + frame.stride() * std::size_t(r), rgb.data(), frame.width());
            errno = 0;
            if (lib.writeScanline(t, rgb.data(), std::uint32_t(Frame::topOf(s) + r), 0) < 0)
                failWriting(file);
        }
        frame.release(s);
    }
    errno = 0;
    if (!lib.flush(t))
        failWriting(file);
}
