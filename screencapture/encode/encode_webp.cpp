#include "encode/encoders.h"
#include "failure.h"
#include "shared_library.h"

#include <webp/encode.h>

namespace {

struct Writer {
    FileWriter* file;
    int error;
};

int writeBytes(const std::uint8_t* data, std::size_t size, const WebPPicture* picture)
{
    auto* writer = static_cast<Writer*>(picture->custom_ptr);
    writer->error = writer->file->writeAll(data, size);
    return writer->error == 0;
}

// The libwebp functions this encoder calls; the library is loaded for WebP captures only. The
// header's WebPConfigInit and WebPPictureInit are inline wrappers of the *Internal functions.
struct Webp {
    SharedLibrary library{"libwebp.so.7"};
    LIBRARY_FUNCTION(configInit, WebPConfigInitInternal);
    LIBRARY_FUNCTION(pictureInit, WebPPictureInitInternal);
    LIBRARY_FUNCTION(pictureAlloc, WebPPictureAlloc);
    LIBRARY_FUNCTION(pictureFree, WebPPictureFree);
    LIBRARY_FUNCTION(encode, WebPEncode);
};

struct PictureGuard {
    const Webp& lib;
    WebPPicture* picture;
    ~PictureGuard() { lib.pictureFree(picture); }
};

} // namespace

// Lossless at the fastest effort: screenshots are text and edges that lossy WebP blurs.
void encodeWebp(Frame& frame, FileWriter& file)
{
    const Webp lib;
    WebPConfig config;
    WebPPicture picture;
    if (!lib.configInit(&config, WEBP_PRESET_DEFAULT, 75.f, WEBP_ENCODER_ABI_VERSION) ||
        !lib.pictureInit(&picture, WEBP_ENCODER_ABI_VERSION))
        throw Failure("the WebP library does not match its headers");
    config.lossless = 1;
    config.method = 0;
    config.quality = 0;
    config.thread_level = 1;

    picture.use_argb = 1;
    picture.width = frame.width();
    picture.height = frame.height();
    PictureGuard guard{lib, &picture};
    if (!lib.pictureAlloc(&picture))
        throw Failure("out of memory for the WebP picture");
    // BGRX in memory is XRGB in a little-endian word, the picture's layout but for opacity.
    for (int s = 0; s < frame.stripes(); ++s) {
        const std::uint8_t* stripe = frame.waitForStripe(s);
        for (int r = 0; r < frame.rowsOf(s); ++r) {
            const std::uint8_t* bgrx = stripe + frame.stride() * std::size_t(r);
            std::uint32_t* argb =
                picture.argb + std::size_t(picture.argb_stride) * std::size_t(Frame::topOf(s) + r);
            for (int x = 0; x < frame.width(); ++x, bgrx += 4)
                argb[x] = 0xff000000u | std::uint32_t(bgrx[2]) << 16 | std::uint32_t(bgrx[1]) << 8 | bgrx[0];
        }
        frame.release(s);
    }
    Writer writer{&file, 0};
    picture.writer = writeBytes;
    picture.custom_ptr = &writer;
    if (!lib.encode(&config, &picture)) {
        if (writer.error)
            file.fail(writer.error);
        throw Failure("WebP encoding failed (error " + std::to_string(picture.error_code) + ")");
    }
}
