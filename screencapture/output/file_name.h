#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class ImageFormat { Png, Jpeg, Tiff, Bmp, Webp };

// The format a file name's extension names, in any letter case; nothing for an unknown one.
std::optional<ImageFormat> formatForFileName(std::string_view fileName);

// The folder a file is saved into: "." for a bare name.
std::string folderOf(const std::string& path);

// The n-th name tried when `path` is taken: "a/b.png" -> "a/b 2.png". The extension is what follows
// the last dot of the file name, so the numbered file keeps its folder and its format.
std::string numberedName(const std::string& path, int n);
