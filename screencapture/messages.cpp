#include "messages.h"

#include <cerrno>
#include <cstdint>
#include <unistd.h>

std::string oneLine(std::string_view text)
{
    std::string line;
    line.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            line += "\\x";
            line += "0123456789abcdef"[u >> 4];
            line += "0123456789abcdef"[u & 15];
        } else {
            line += c;
        }
    }
    return line;
}

void say(std::string_view text)
{
    const std::string line = "screencapture: " + oneLine(text) + '\n';
    // One write, so that the lines of tools running side by side never interleave.
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t n = write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += std::size_t(n);
    }
}

std::string validUtf8(std::string_view text)
{
    constexpr std::string_view kReplacement = "\xef\xbf\xbd";
    std::string valid;
    valid.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            valid += char(lead);
            ++i;
            continue;
        }
        // The length of the sequence this byte starts, and the range its second byte must be in
        // (narrower than 80-BF where that rules out overlong forms, surrogates, and beyond U+10FFFF).
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xbf;
        if (lead >= 0xc2 && lead <= 0xdf)
            length = 2;
        else if (lead >= 0xe0 && lead <= 0xef)
            length = 3, low = lead == 0xe0 ? 0xa0 : 0x80, high = lead == 0xed ? 0x9f : 0xbf;
        else if (lead >= 0xf0 && lead <= 0xf4)
            length = 4, low = lead == 0xf0 ? 0x90 : 0x80, high = lead == 0xf4 ? 0x8f : 0xbf;
        // The longest start of a well-formed sequence there: replaced by one U+FFFD when cut short.
        std::size_t end = i + 1;
        std::uint32_t code = lead & (0xff >> (length + 1));
        while (length > 0 && end < i + length && end < text.size()) {
            const auto next = static_cast<unsigned char>(text[end]);
            if (next < (end == i + 1 ? low : 0x80) || next > (end == i + 1 ? high : 0xbf))
                break;
            code = code << 6 | (next & 0x3f);
            ++end;
        }
        const bool noncharacter = (code >= 0xfdd0 && code <= 0xfdef) || (code & 0xfffe) == 0xfffe;
        if (length > 0 && end == i + length && !noncharacter)
            valid += text.substr(i, length);
        else
            valid += kReplacement;
        i = end;
    }
    return valid;
}
