#pragma once

#include "byte_sink.h"
#include "file_name.h"
#include "frame.h"

// Encodes the frame as it is grabbed, taking each stripe as it arrives. A failure is recorded
// in the frame, so that the grab stops waiting for stripes to be released.
void encode(ImageFormat format, Frame& frame, ByteSink& sink);

void encodePng(Frame& frame, ByteSink& sink);
void encodeJpeg(Frame& frame, ByteSink& sink);
void encodeTiff(Frame& frame, ByteSink& sink);
void encodeBmp(Frame& frame, ByteSink& sink);
void encodeWebp(Frame& frame, ByteSink& sink);
