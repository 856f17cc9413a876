#pragma once

#include "byte_sink.h"
#include "frame.h"

#include <optional>
#include <string_view>

enum class ImageFormat { Png, Jpeg, Tiff, Bmp, Webp };

// The format a file name's extension names, in any letter case; nothing for an unknown one.
std::optional<ImageFormat> formatForFileName(std::string_view fileName);

// Encodes the frame as it is grabbed, waiting for rows where the format needs them.
void encode(ImageFormat format, const Frame& frame, ByteSink& sink);

void encodePng(const Frame& frame, ByteSink& sink);
void encodeJpeg(const Frame& frame, ByteSink& sink);
void encodeTiff(const Frame& frame, ByteSink& sink);
void encodeBmp(const Frame& frame, ByteSink& sink);
void encodeWebp(const Frame& frame, ByteSink& sink);
