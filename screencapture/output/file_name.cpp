#include "output/file_name.h"

#include <algorithm>
#include <array>
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

std::string folderOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string numberedName(const std::string& path, int n)
{
    std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        dot = path.size();
    return path.substr(0, dot) + " " + std::to_string(n) + path.substr(dot);
}
