#include "encode.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

std::optional<ImageFormat> formatForFileName(std::string_view fileName)
{
    std::string_view base = fileName.substr(fileName.find_last_of('/') + 1);
    std::size_t dot = base.find_last_of('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    std::string extension(base.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });

    static constexpr std::array<std::pair<std::string_view, ImageFormat>, 7> kExtensions{{
        {"png", ImageFormat::Png},
        {"jpg", ImageFormat::Jpeg},
        {"jpeg", ImageFormat::Jpeg},
        {"tif", ImageFormat::Tiff},
        {"tiff", ImageFormat::Tiff},
        {"bmp", ImageFormat::Bmp},
        {"webp", ImageFormat::Webp},
    }};
    for (auto [name, format] : kExtensions) {
        if (extension == name)
            return format;
    }
    return std::nullopt;
}

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
