// The capture tool's parts, with inputs no test display gives: a capture given up while its grab
// waits, X image replies too short for their rows, file URIs from the desktop portal, and Wayland
// output copies that a headless sway never makes. Prints "ok - WHAT" or "FAIL - WHAT" for each.
#include "failure.h"
#include "frame.h"
#include "grab/desktop_composer.h"
#include "grab/file_uri.h"
#include "grab/grab_x11.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <optional>
#include <string>
#include <vector>
#include <wayland-client-protocol.h>

namespace {

int failures = 0;

void check(bool ok, const std::string& what)
{
    std::printf("%s - %s\n", ok ? "ok" : "FAIL", what.c_str());
    failures += !ok;
}

template <typename Run> bool refused(Run run)
{
    try {
        run();
    } catch (const Failure&) {
        return true;
    }
    return false;
}

// A grab waiting for a free slot when the capture is given up (its file cannot be made, say) must
// stop, not wait for ever; one still waiting cannot be joined, so the test ends there.
void abandoningStopsTheGrab()
{
    Frame frame(8, 1000);
    std::future<int> grab = std::async(std::launch::async, [&frame] {
        int s = 0;
        while (s < frame.stripes() && frame.beginStripe(s))
            frame.publish(s++);
        return s;
    });
    frame.waitForStripe(Frame::kSlots - 1); // nobody reads: the ring is full
    frame.abandon();
    if (grab.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        std::puts("FAIL - an abandoned frame leaves its grab waiting for a slot");
        std::fflush(stdout);
        std::_Exit(1);
    }
    check(grab.get() == Frame::kSlots, "an abandoned frame stops its grab at the full ring");
}

// A GetImage reply holds the rows asked for, each padded as the server's pixmap format says; one
// that holds less is refused before its rows are read.
void imageRepliesHoldTheirRows()
{
    struct Reply {
        std::size_t length;
        int width, rows, bitsPerPixel, scanlinePad;
        long stride; // -1: refused
    };
    for (const Reply& reply : {
             Reply{8 * 16, 3, 16, 16, 32, 8}, Reply{9 * 5, 3, 5, 24, 8, 9},
             Reply{400 * 16 + 64, 100, 16, 32, 32, 400}, // bytes beyond the last row change no row's place
             Reply{8 * 16 - 1, 3, 16, 16, 32, -1},
             Reply{6 * 16, 3, 16, 16, 32, -1}, // rows without their padding
         }) {
        long stride = -1;
        refused([&] {
            stride = long(checkedImageStride(reply.length, reply.width, reply.rows, reply.bitsPerPixel,
                                             reply.scanlinePad));
        });
        check(stride == reply.stride,
              "a reply of " + std::to_string(reply.length) + " bytes: stride " + std::to_string(stride));
    }
}

// Only a local file's path comes out of the portal's URI, every byte of its name intact; anything
// else is refused rather than guessed at.
void fileUris()
{
    const std::pair<const char*, const char*> uris[] = {
        {"file://localhost/tmp/a%20b.png", "/tmp/a b.png"},
        {"file:///%C3%89/%ff%FE.png", "/\xc3\x89/\xff\xfe.png"}, // either case, UTF-8 or not
        {"file:///a.png?size=2#top", "/a.png"},
        {"file:///a%3F%23.pn%67", "/a?#.png"},
        // Refused: a NUL would cut the path short, and no file name holds a slash.
        {"file:///a%00.png", nullptr},
        {"file:///a.png%2", nullptr},
        {"file:///a%2F..%2Fb.png", nullptr},
        {"file://example.org/a.png", nullptr},
        {"file://localhost.example.org/a.png", nullptr},
        {"https://example.org/a.png", nullptr},
    };
    for (const auto& [uri, path] : uris) {
        std::optional<std::string> got;
        refused([&] { got = pathOfFileUri(uri); });
        check(path ? got == path : !got,
              std::string(uri) + " gives " + (got ? "'" + *got + "'" : "a refusal"));
    }
}

// The image as 0xRRGGBB words, rendered a row at a time as the grab's stripes are; none when its
// size is not the one expected.
std::vector<std::uint32_t> compose(const std::vector<OutputCopy>& outputs, int width, int height)
{
    const OutputComposer composer(outputs);
    if (composer.width() != width || composer.height() != height)
        return {};
    std::vector<std::uint32_t> image(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        composer.render(reinterpret_cast<std::uint8_t*>(&image[std::size_t(y) * width]), width * 4u, y, 1);
    for (std::uint32_t& pixel : image)
        pixel &= 0xffffff;
    return image;
}

OutputCopy copyOf(const std::uint32_t* pixels, std::uint32_t format, int width, int height, int logicalWidth,
                  int logicalHeight)
{
    return {0,      0,     logicalWidth, logicalHeight, reinterpret_cast<const std::uint8_t*>(pixels),
            format, width, height,       width * 4};
}

// Each pixel expected is worked out by hand.
void composesOutputs()
{
    constexpr std::uint32_t a = 0xa00000, b = 0xb00000, c = 0xc00000, d = 0xd00000, e = 0xe00000,
                            f = 0xf00000;

    // Buffer rows a b c / d e f, stored bottom up, on an output turned 90 degrees: its left
    // column read from the bottom is the top row.
    const std::uint32_t bottomUp[] = {d, e, f, a, b, c};
    OutputCopy turned = copyOf(bottomUp, WL_SHM_FORMAT_XRGB8888, 3, 2, 2, 3);
    turned.transform = WL_OUTPUT_TRANSFORM_90, turned.yInverted = true;
    check(compose({turned}, 2, 3) == std::vector{d, a, e, b, f, c}, "y-inverted rows on a turned output");

    // Byte orders: XBGR8888 holds red in the low byte; XBGR2101010 10 bits a channel, red low,
    // its 2 top bits (alpha) left out.
    const std::uint32_t xbgr = 0xff332211, xbgr10 = 3u << 30 | 0x004u << 20 | 0x202u << 10 | 0x3ffu;
    OutputCopy left = copyOf(&xbgr, WL_SHM_FORMAT_XBGR8888, 1, 1, 1, 1),
               right = copyOf(&xbgr10, WL_SHM_FORMAT_XBGR2101010, 1, 1, 1, 1);
    right.x = 1;
    check(compose({left, right}, 2, 1) == std::vector<std::uint32_t>{0x112233, 0xff8001},
          "XBGR8888 and XBGR2101010");

    // Outputs far apart, as a confused compositor may say: up to 32767 pixels a side (where
    // pixman's coordinates end) composed, beyond that a refusal, not an overflowing size.
    const OutputCopy dot = copyOf(&xbgr, WL_SHM_FORMAT_XRGB8888, 1, 1, 1, 1);
    for (const auto& [x, y] : {std::pair{32766, 0}, {32767, 0}, {0, 32766}, {0, 32767}, {INT32_MAX - 1, 0}}) {
        OutputCopy far = dot;
        far.x = x, far.y = y;
        const bool wasRefused = refused([&] { layOutDesktop({dot, far}); });
        check(wasRefused == (std::max(x, y) >= 32767), "a pixel at 0,0 and one at " + std::to_string(x) +
                                                           "," + std::to_string(y) +
                                                           (wasRefused ? ": refused" : ": composed"));
    }
}

} // namespace

int main()
{
    abandoningStopsTheGrab();
    imageRepliesHoldTheirRows();
    fileUris();
    composesOutputs();
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
