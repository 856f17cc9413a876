// The capture tool's parts, with inputs no test display gives. Prints "ok - WHAT" or "FAIL - WHAT" for each.
#include "encode/encoders.h"
#include "failure.h"
#include "frame.h"
#include "grab/desktop_composer.h"
#include "grab/file_uri.h"
#include "grab/grab_x11.h"
#include "grab/png_check.h"
#include "grab/png_reader.h"
#include "messages.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <libdeflate.h>
#include <new>
#include <string>
#include <sys/mman.h>
#include <system_error>
#include <unistd.h>
#include <vector>
#include <wayland-client-protocol.h>

// The largest allocation since the last reset: a file must be judged before what its header promises is
// allocated. (Every form is replaced, so that a sanitizer's own never frees ours.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
std::atomic<std::size_t> g_largestAllocation = 0;
}

void* operator new(std::size_t size)
{
    std::size_t largest = g_largestAllocation;
    while (size > largest && !g_largestAllocation.compare_exchange_weak(largest, size)) {
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

int failures = 0;

void check(bool ok, const std::string& what)
{
    std::printf("%s - %s\n", ok ? "ok" : "FAIL", what.c_str());
    failures += !ok;
}

// What `run` returns, or the message of the Failure it throws.
template <typename Run> std::string said(Run run)
{
    try {
        return run();
    } catch (const Failure& failure) {
        return std::string("refused: ") + failure.what();
    }
}

// Each row's input through `f` gives the row's string.
template <typename Rows, typename F> void table(const std::string& what, const Rows& rows, F f)
{
    for (const auto& [input, expected] : rows) {
        const std::string got = f(input);
        check(got == expected, what + ": '" + oneLine(got) + "'");
    }
}

// A grab waiting for a free slot must stop when the capture is given up (its file cannot be made, say).
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
        std::_Exit(1); // a grab still waiting cannot be joined
    }
    check(grab.get() == Frame::kSlots, "an abandoned frame stops its grab at the full ring");
}

// A GetImage reply that holds less than its rows, each padded as the pixmap format says, is refused.
void imageRepliesHoldTheirRows()
{
    struct Reply {
        std::size_t length;
        int width, rows, bitsPerPixel, scanlinePad;
        long stride; // -1: refused
    };
    for (const Reply& r : {
             Reply{8 * 16, 3, 16, 16, 32, 8}, Reply{9 * 5, 3, 5, 24, 8, 9},
             Reply{400 * 16 + 64, 100, 16, 32, 32, 400}, // bytes beyond the last row change no row's place
             Reply{8 * 16 - 1, 3, 16, 16, 32, -1},
             Reply{6 * 16, 3, 16, 16, 32, -1}, // rows without their padding
         }) {
        long stride = -1;
        said([&] {
            stride = long(checkedImageStride(r.length, r.width, r.rows, r.bitsPerPixel, r.scanlinePad));
            return std::string();
        });
        check(stride == r.stride,
              "a reply of " + std::to_string(r.length) + " bytes: stride " + std::to_string(stride));
    }
}

// The image as 0xRRGGBB words, rendered a row at a time as the grab's stripes are; none when its size is
// not the one expected.
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

void composesOutputs()
{
    constexpr std::uint32_t a = 0xa00000, b = 0xb00000, c = 0xc00000, d = 0xd00000, e = 0xe00000,
                            f = 0xf00000;
    // Rows a b c / d e f stored bottom up on an output turned 90 degrees: its left column read upwards
    // is the top row.
    const std::uint32_t bottomUp[] = {d, e, f, a, b, c};
    OutputCopy turned = copyOf(bottomUp, WL_SHM_FORMAT_XRGB8888, 3, 2, 2, 3);
    turned.transform = WL_OUTPUT_TRANSFORM_90, turned.yInverted = true;
    check(compose({turned}, 2, 3) == std::vector{d, a, e, b, f, c}, "y-inverted rows on a turned output");

    // XBGR8888 holds red in the low byte; XBGR2101010 10 bits a channel, red low, its alpha left out.
    const std::uint32_t xbgr = 0xff332211, xbgr10 = 3u << 30 | 0x004u << 20 | 0x202u << 10 | 0x3ffu;
    OutputCopy left = copyOf(&xbgr, WL_SHM_FORMAT_XBGR8888, 1, 1, 1, 1),
               right = copyOf(&xbgr10, WL_SHM_FORMAT_XBGR2101010, 1, 1, 1, 1);
    right.x = 1;
    check(compose({left, right}, 2, 1) == std::vector<std::uint32_t>{0x112233, 0xff8001},
          "XBGR8888 and XBGR2101010");

    // Outputs far apart: up to 32767 pixels a side (where pixman's coordinates end), then a refusal.
    const OutputCopy dot = copyOf(&xbgr, WL_SHM_FORMAT_XRGB8888, 1, 1, 1, 1);
    for (const auto& [x, y] : {std::pair{32766, 0}, {32767, 0}, {0, 32766}, {0, 32767}, {INT32_MAX - 1, 0}}) {
        OutputCopy far = dot;
        far.x = x, far.y = y;
        const bool refused = !said([&] { return layOutDesktop({dot, far}), std::string(); }).empty();
        check(refused == (std::max(x, y) >= 32767), "a pixel at 0,0 and one at " + std::to_string(x) + "," +
                                                        std::to_string(y) +
                                                        (refused ? ": refused" : ": composed"));
    }
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(std::uint8_t(v >> shift));
}

// A black 1-bit grey PNG with a chunk of type `extra` (none if empty) before its image data: any size in
// little memory.
std::vector<std::uint8_t> blackPng(std::uint32_t width, std::uint32_t height, const std::string& extra)
{
    std::vector<std::uint8_t> ihdr;
    putBigEndian(ihdr, width);
    putBigEndian(ihdr, height);
    ihdr.insert(ihdr.end(), {1, 0, 0, 0, 0});
    const std::vector<std::uint8_t> rows((1 + (width + 7) / 8) * std::size_t(height)); // filter types too
    libdeflate_compressor* deflater = libdeflate_alloc_compressor(1);
    std::vector<std::uint8_t> idat(libdeflate_zlib_compress_bound(deflater, rows.size()));
    idat.resize(libdeflate_zlib_compress(deflater, rows.data(), rows.size(), idat.data(), idat.size()));
    libdeflate_free_compressor(deflater);

    std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const std::pair<std::string, std::vector<std::uint8_t>> chunks[] = {
        {"IHDR", ihdr}, {extra, {'a', 0, 'b'}}, {"IDAT", idat}, {"IEND", {}}};
    for (const auto& [type, body] : chunks) {
        if (type.empty())
            continue;
        putBigEndian(file, std::uint32_t(body.size()));
        const std::size_t typeAt = file.size();
        file.insert(file.end(), type.begin(), type.end());
        file.insert(file.end(), body.begin(), body.end());
        putBigEndian(file, libdeflate_crc32(0, file.data() + typeAt, file.size() - typeAt));
    }
    return file;
}

// The portal's picture: taken whole when the check vouches for it, read when its size is a desktop's;
// neither allocates the size of one that is no desktop's.
void portalPng()
{
    struct Row {
        std::uint32_t width, height;
        const char* extra; // a chunk's type
        bool whole;
        const char* read; // the reader's refusal, "" when it reads the picture; nullptr: not asked
    } const rows[] = {
        {64, 32, "", true, ""},
        {64, 32, "tEXt", true, ""},
        {64, 32, "tEX1", false, nullptr}, // chunk names of four ASCII letters only
        {64, 32, "tE t", false, nullptr},
        {64, 32, "t\xc5xt", false, nullptr},
        {16384, 8192, "", true, ""},
        {32767, 4096, "", true, ""},
        {16384, 8193, "", false, "16384 x 8193 pixels, more than a desktop's 134217728"},
        {32768, 8, "", false, "32768 x 8 pixels, wider or taller than a desktop's 32767"},
        {8, 32768, "", false, "8 x 32768 pixels, wider or taller than a desktop's 32767"},
    };
    for (const Row& row : rows) {
        const std::vector<std::uint8_t> file = blackPng(row.width, row.height, row.extra);
        g_largestAllocation = 0;
        const bool whole = isWholePng(file, int(row.width), int(row.height));
        std::string read = "not asked";
        if (row.read) {
            const int fd = memfd_create("png", MFD_CLOEXEC);
            if (fd < 0 || write(fd, file.data(), file.size()) != ssize_t(file.size()) ||
                lseek(fd, 0, SEEK_SET))
                std::abort();
            read = said(
                [&] { return PngReader(fd, "portal.png").width() == int(row.width) ? "" : "a wrong width"; });
        }
        const std::string expected = !row.read ? "not asked"
                                     : *row.read
                                         ? std::string("refused: cannot read 'portal.png': ") + row.read
                                         : "";
        check(whole == row.whole && read == expected && (row.whole || g_largestAllocation < 1 << 20),
              "a " + std::to_string(row.width) + " x " + std::to_string(row.height) + " PNG '" + row.extra +
                  (whole ? "': whole, " : "': not taken whole, ") + (read.empty() ? "read" : read) + ", " +
                  std::to_string(g_largestAllocation) + " bytes allocated at most");
    }
}

// A BMP's sizes are 32-bit fields: a capture beyond them is refused before a byte is written or a pixel
// awaited. (54 + 48 x 89478485 is one byte past 4 GiB - 1.)
void bmpTooLarge()
{
    for (const auto& [width, height] : {std::pair{16, 89478485}, {40000, 40000}}) {
        Frame frame(width, height);
        frame.fail(std::make_exception_ptr(Failure("a pixel awaited")));
        const int fd = memfd_create("bmp", MFD_CLOEXEC);
        FileWriter file(fd, "shot.bmp");
        const std::string refusal = said([&] { return encodeBmp(frame, file), std::string(); });
        const off_t written = lseek(fd, 0, SEEK_END);
        close(fd);
        const std::string size = std::to_string(width) + " x " + std::to_string(height);
        check(refusal == "refused: cannot write 'shot.bmp': " + size +
                             " pixels is more than a BMP file holds (4 GiB)" &&
                  written == 0,
              "a " + size + " BMP: '" + refusal + "', " + std::to_string(written) + " bytes written");
    }
}

void fileUris()
{
    // Only a local file's path, every byte of its name intact; a NUL would cut it short, and no name holds a
    // slash.
    const std::pair<const char*, std::string> uris[] = {
        {"file://localhost/tmp/a%20b.png", "/tmp/a b.png"},
        {"file:///%C3%89/%ff%FE.png", "/\xc3\x89/\xff\xfe.png"}, // either case, UTF-8 or not
        {"file:///a.png?size=2#top", "/a.png"},
        {"file:///a%3F%23.pn%67", "/a?#.png"},
        {"file:///a%00.png", "refused"},
        {"file:///a.png%2", "refused"},
        {"file:///a%2F..%2Fb.png", "refused"},
        {"file://example.org/a.png", "refused"},
        {"file://localhost.example.org/a.png", "refused"},
        {"https://example.org/a.png", "refused"},
    };
    table("file URI", uris, [](const char* uri) {
        const std::string path = said([&] { return pathOfFileUri(uri); });
        return path.starts_with("refused: ") ? "refused" : path;
    });
}

// A message is one line on stderr however its names are made; a notification takes it as valid UTF-8;
// whatever a capture throws becomes one message.
void messagesTold()
{
    const std::pair<std::string, std::string> lines[] = {
        {"'/tmp/new\nline\r\t\x1b[2J\x7f'", "'/tmp/new\\x0aline\\x0d\\x09\\x1b[2J\\x7f'"},
        {"\xc3\xa9t\xc3\xa9 \xff", "\xc3\xa9t\xc3\xa9 \xff"}, // bytes beyond ASCII pass as they are
    };
    table("one line", lines, [](const std::string& text) { return oneLine(text); });

    const std::string r = "\xef\xbf\xbd"; // U+FFFD
    const std::pair<std::string, std::string> texts[] = {
        {"\xc3\xa9t\xc3\xa9 \xe2\x82\xac\n\xf0\x9f\x93\xb7",
         "\xc3\xa9t\xc3\xa9 \xe2\x82\xac\n\xf0\x9f\x93\xb7"},
        {"a\xff", "a" + r},
        {"\xe2\x82", r},                              // cut short: one replacement
        {"\xe2\x82\xe2\x82\xac", r + "\xe2\x82\xac"}, // ... and what follows kept
        {"\xc0\xaf", r + r},                          // overlong
        {"\xed\xa0\x80", r + r + r},                  // a UTF-16 surrogate
        {"\xf4\x90\x80\x80", r + r + r + r},          // beyond U+10FFFF
        {"\xef\xbf\xbe \xef\xb7\x90", r + " " + r},   // noncharacters, which D-Bus refuses
    };
    table("valid UTF-8", texts, [](const std::string& text) { return validUtf8(text); });

    const std::pair<std::exception_ptr, std::string> thrown[] = {
        {std::make_exception_ptr(Failure("cannot save into '/a'")), "cannot save into '/a'"},
        {std::make_exception_ptr(std::bad_alloc()), "out of memory"},
        {std::make_exception_ptr(std::system_error(EAGAIN, std::generic_category())),
         "the system refused what the capture needs: Resource temporarily unavailable"},
        {std::make_exception_ptr(std::length_error("vector")), "the capture broke off: vector"},
        {std::make_exception_ptr(42), "the capture broke off"},
    };
    table("thrown", thrown, [](const std::exception_ptr& exception) { return messageOf(exception); });
}

} // namespace

int main()
{
    abandoningStopsTheGrab();
    imageRepliesHoldTheirRows();
    fileUris();
    composesOutputs();
    portalPng();
    bmpTooLarge();
    messagesTold();
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
