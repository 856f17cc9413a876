#include "grab/file_uri.h"

#include "failure.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string pathOfFileUri(std::string_view uri)
{
    const auto notLocal = [&] { return Failure("'" + std::string(uri) + "' names no local file"); };
    constexpr std::string_view scheme = "file://";
    if (uri.substr(0, scheme.size()) != scheme)
        throw notLocal();
    std::string_view rest = uri.substr(scheme.size());
    // An empty host or "localhost" is this machine.
    if (rest.substr(0, 9) == "localhost")
        rest.remove_prefix(9);
    if (rest.empty() || rest[0] != '/')
        throw notLocal();

    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '?' || rest[i] == '#')
            break;
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        const int high = i + 2 < rest.size() ? hexValue(rest[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(rest[i + 2]) : -1;
        const char byte = char(high * 16 + low);
        // A NUL would cut the path short where the system reads it; a slash is no part of a file
        // name, and decoded it would name another path.
        if (low < 0 || byte == '\0' || byte == '/')
            throw Failure("'" + std::string(uri) + "' is not a well-formed file URI");
        path += byte;
        i += 2;
    }
    return path;
}
