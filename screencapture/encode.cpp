#include "encode.h"

void encode(ImageFormat format, Frame& frame, ByteSink& sink)
{
    try {
        switch (format) {
        case ImageFormat::Png:
            return encodePng(frame, sink);
        case ImageFormat::Jpeg:
            return encodeJpeg(frame, sink);
        case ImageFormat::Tiff:
            return encodeTiff(frame, sink);
        case ImageFormat::Bmp:
            return encodeBmp(frame, sink);
        case ImageFormat::Webp:
            return encodeWebp(frame, sink);
        }
    } catch (...) {
        frame.fail(std::current_exception());
        throw;
    }
}
