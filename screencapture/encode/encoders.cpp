#include "encode/encoders.h"

void encode(ImageFormat format, Frame& frame, FileWriter& file)
{
    try {
        switch (format) {
        case ImageFormat::Png:
            return encodePng(frame, file);
        case ImageFormat::Jpeg:
            return encodeJpeg(frame, file);
        case ImageFormat::Tiff:
            return encodeTiff(frame, file);
        case ImageFormat::Bmp:
            return encodeBmp(frame, file);
        case ImageFormat::Webp:
            return encodeWebp(frame, file);
        }
    } catch (...) {
        frame.fail(std::current_exception());
        throw;
    }
}
