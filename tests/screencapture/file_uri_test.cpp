// The file URI in the desktop portal's answer, which another process wrote: only a local file's
// path comes out, every byte of its name intact; anything else is refused rather than guessed at.
#include "check.h"
#include "failure.h"
#include "grab/file_uri.h"

#include <optional>
#include <string>

namespace {

// `path`: what the URI names; nothing when it must be refused.
void expect(const char* uri, const std::optional<std::string>& path, const char* what)
{
    std::optional<std::string> got;
    try {
        got = pathOfFileUri(uri);
    } catch (const Failure&) {
    }
    if (!check(got == path, what))
        std::printf("  %s gave %s\n", uri, got ? ("'" + *got + "'").c_str() : "a refusal");
}

} // namespace

int main()
{
    const std::nullopt_t refused = std::nullopt;
    expect("file:///tmp/a%20b.png", "/tmp/a b.png", "escapes are decoded");
    expect("file://localhost/tmp/a.png", "/tmp/a.png", "localhost is this machine");
    expect("file:///%C3%89cran/%ff%FE.png",
           "/\xc3\x89"
           "cran/\xff\xfe.png",
           "escaped bytes in either case are kept as they are, UTF-8 or not");
    expect("file:///\xc3\x89"
           "cran.png",
           "/\xc3\x89"
           "cran.png",
           "unescaped bytes beyond ASCII are kept");
    expect("file:///a.png?size=2#top", "/a.png", "a query or fragment is no part of the path");
    expect("file:///a%3F%23.png", "/a?#.png", "escaped ? and # are part of the name");
    expect("file:///a.pn%67", "/a.png", "an escape at the very end is decoded");

    expect("file:///a%00.png", refused, "an escaped NUL, which would cut the path short, is refused");
    expect("file:///a.png%2", refused, "a truncated escape is refused");
    expect("file:///a%2G.png", refused, "an escape that is no hex is refused");
    expect("file:///a%2F..%2Fb.png", refused, "an escaped slash, which no file name holds, is refused");
    expect("file://example.org/a.png", refused, "a file on another host is refused");
    expect("file://localhost.example.org/a.png", refused,
           "a host that merely starts as localhost is refused");
    expect("https://example.org/a.png", refused, "another scheme is refused");
    expect("file:a.png", refused, "a relative file URI is refused");
    return finish();
}
