#pragma once

#include <string>
#include <string_view>

// The tool's messages, as they leave it: a line on stderr, and the text of a desktop notification.

// `text` as one line, its control characters (newlines among them) written \xNN as Kestrelle's
// own log writes them, so that no name in a message can start a line of its own.
std::string oneLine(std::string_view text);

// Writes "screencapture: TEXT" as one line on stderr, in one write.
void say(std::string_view text);

// `text` as valid UTF-8 that D-Bus carries: each ill-formed sequence, and each noncharacter (which
// sd-bus refuses), replaced by U+FFFD, as decoders replace them.
std::string validUtf8(std::string_view text);
