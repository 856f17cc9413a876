#include "encode.h"
#include "failure.h"

#include <webp/encode.h>

namespace {

struct Writer {
    ByteSink* sink;
    int error;
};

int writeBytes(const std::uint8_t* data, std::size_t size, const WebPPicture* picture)
{
    auto* writer = static_cast<Writer*>(picture->custom_ptr);
    writer->error = writer->sink->writeAll(data, size);
    return writer->error == 0;
}

struct PictureGuard {
    WebPPicture* picture;
    ~PictureGuard() { WebPPictureFree(picture); }
};

} // namespace

// Lossless at the fastest effort: screenshots are text and edges that lossy WebP blurs.
void encodeWebp(const Frame& frame, ByteSink& sink)
{
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture))
        throw Failure("the WebP library does not match its headers");
    config.lossless = 1;
    config.method = 0;
    config.quality = 0;
    config.thread_level = 1;

    frame.waitForAll();
    picture.use_argb = 1;
    picture.width = frame.width();
    picture.height = frame.height();
    PictureGuard guard{&picture};
    if (!WebPPictureImportBGRX(&picture, frame.row(0), int(frame.stride())))
        throw Failure("out of memory for the WebP picture");
    Writer writer{&sink, 0};
    picture.writer = writeBytes;
    picture.custom_ptr = &writer;
    if (!WebPEncode(&config, &picture)) {
        if (writer.error)
            sink.fail(writer.error);
        throw Failure("WebP encoding failed (error " + std::to_string(picture.error_code) + ")");
    }
}
