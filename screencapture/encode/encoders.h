#pragma once

#include "encode/file_writer.h"
#include "frame.h"
#include "output/file_name.h"

// Encodes the frame as it is grabbed, taking each stripe as it arrives. A failure is recorded
// in the frame, so that the grab stops waiting for stripes to be released.
void encode(ImageFormat format, Frame& frame, FileWriter& file);

void encodePng(Frame& frame, FileWriter& file);
void encodeJpeg(Frame& frame, FileWriter& file);
void encodeTiff(Frame& frame, FileWriter& file);
void encodeBmp(Frame& frame, FileWriter& file);
void encodeWebp(Frame& frame, FileWriter& file);
