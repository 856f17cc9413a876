#pragma once

#include "byte_sink.h"
#include "frame.h"

#include <optional>
#include <string_view>

enum class ImageFormat { Png, Jpeg, Tiff, Bmp, Webp };

// The format a file name's extension names, in any letter case; nothing for an unknown one.
std::optional<ImageFormat> formatForFileName(std::string_view fileName);

// Encodes the frame as it is grabbed, taking each stripe as it arrives. A failure is recorded
// in the frame, so that the grab stops waiting for stripes to be released.
void encode(ImageFormat format, Frame& frame, ByteSink& sink);

void encodePng(Frame& frame, ByteSink& sink);
void encodeJpeg(Frame& frame, ByteSink& sink);
void encodeTiff(Frame& frame, ByteSink& sink);
void encodeBmp(Frame& frame, ByteSink& sink);
void encodeWebp(Frame& frame, ByteSink& sink);
