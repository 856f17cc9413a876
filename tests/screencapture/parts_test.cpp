// The capture tool's parts, with inputs no test display gives: a capture given up while its grab
// waits, X image replies too short for their rows, file URIs from the desktop portal, Wayland
// output copies that a headless sway never makes, PNG files from the portal that are no desktop's,
// BMP files larger than the format holds, and messages that are not one line or not UTF-8. Prints
// "ok - WHAT" or "FAIL - WHAT" for each.
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
#include <optional>
#include <string>
#include <sys/mman.h>
#include <system_error>
#include <unistd.h>
#include <vector>
#include <wayland-client-protocol.h>

// The largest single allocation through operator new since the last reset: the checks of a file
// must not allocate what its header promises before they have judged it. (GCC takes the malloc and
// free inside the operators for a mismatch once they are inlined.)
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

struct Chunk {
    std::string type;
    std::vector<std::uint8_t> body;
};

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(std::uint8_t(v >> shift));
}

// A black grey image of 1 bit a pixel, with `chunks` before its image data: a valid PNG of any size in
// little memory.
std::vector<std::uint8_t> blackPng(std::uint32_t width, std::uint32_t height, std::vector<Chunk> chunks)
{
    Chunk ihdr{"IHDR", {}};
    putBigEndian(ihdr.body, width);
    putBigEndian(ihdr.body, height);
    ihdr.body.insert(ihdr.body.end(), {1, 0, 0, 0, 0});
    const std::vector<std::uint8_t> rows((1 + (width + 7) / 8) * std::size_t(height)); // filter types too
    libdeflate_compressor* deflater = libdeflate_alloc_compressor(1);
    Chunk idat{"IDAT", std::vector<std::uint8_t>(libdeflate_zlib_compress_bound(deflater, rows.size()))};
    idat.body.resize(
        libdeflate_zlib_compress(deflater, rows.data(), rows.size(), idat.body.data(), idat.body.size()));
    libdeflate_free_compressor(deflater);
    chunks.insert(chunks.begin(), ihdr);
    chunks.insert(chunks.end(), {idat, {"IEND", {}}});

    std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    for (const Chunk& chunk : chunks) {
        putBigEndian(file, std::uint32_t(chunk.body.size()));
        const std::size_t typeAt = file.size();
        file.insert(file.end(), chunk.type.begin(), chunk.type.end());
        file.insert(file.end(), chunk.body.begin(), chunk.body.end());
        putBigEndian(file, libdeflate_crc32(0, file.data() + typeAt, file.size() - typeAt));
    }
    return file;
}

// An open file holding `bytes`.
int fileOf(const std::vector<std::uint8_t>& bytes)
{
    const int fd = memfd_create("png", MFD_CLOEXEC);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()) ||
        lseek(fd, 0, SEEK_SET) != 0)
        std::abort();
    return fd;
}

// The desktop portal's picture: taken whole when the check vouches for it, and read when its size is
// a desktop's; either refuses one that is no desktop's before anything of the size it claims is
// allocated.
void portalPng()
{
    struct Row {
        std::uint32_t width, height;
        std::vector<Chunk> before; // put before the image data
        bool whole;
        const char* said; // the reader's refusal; "" when it reads the picture, nullptr: not asked
    };
    const Row rows[] = {
        {64, 32, {}, true, ""},
        {64, 32, {{"tEXt", {'a', 0, 'b'}}}, true, ""},
        // Chunk names of four ASCII letters only.
        {64, 32, {{"tEX1", {}}}, false, nullptr},
        {64, 32, {{"tE t", {}}}, false, nullptr},
        {64, 32, {{"t\xc5xt", {}}}, false, nullptr},
        {16384, 8192, {}, true, ""},
        {32767, 4096, {}, true, ""},
        {16384, 8193, {}, false, "16384 x 8193 pixels, more than a desktop's 134217728"},
        {32768, 8, {}, false, "32768 x 8 pixels, wider or taller than a desktop's 32767"},
        {8, 32768, {}, false, "8 x 32768 pixels, wider or taller than a desktop's 32767"},
    };
    for (const Row& row : rows) {
        const std::vector<std::uint8_t> file = blackPng(row.width, row.height, row.before);
        g_largestAllocation = 0;
        const bool whole = isWholePng(file, int(row.width), int(row.height));
        std::string said = "not asked";
        if (row.said) {
            try {
                said = PngReader(fileOf(file), "portal.png").width() == int(row.width) ? "" : "a wrong width";
            } catch (const Failure& failure) {
                said = failure.what();
            }
        }
        const std::string expected = !row.said   ? "not asked"
                                     : *row.said ? std::string("cannot read 'portal.png': ") + row.said
                                                 : "";
        check(whole == row.whole && said == expected && (row.whole || g_largestAllocation < 1 << 20),
              "a " + std::to_string(row.width) + " x " + std::to_string(row.height) + " PNG" +
                  (row.before.empty() ? "" : " with a chunk '" + row.before[0].type + "'") +
                  (whole ? ": whole, " : ": not taken whole, ") + (said.empty() ? "read" : said) + ", " +
                  std::to_string(g_largestAllocation) + " bytes allocated at most");
    }
}

// A BMP file says its size, and its pixels', in fields of 32 bits: a capture beyond them is refused
// before a byte of it is written or a pixel awaited.
void bmpTooLarge()
{
    // 54 + 48 x 89478485 is one byte past 4 GiB - 1.
    for (const auto& [width, height] : {std::pair{16, 89478485}, {40000, 40000}}) {
        Frame frame(width, height);
        frame.fail(std::make_exception_ptr(Failure("a pixel awaited")));
        const int fd = memfd_create("bmp", MFD_CLOEXEC);
        FileWriter file(fd, "shot.bmp");
        std::string said;
        try {
            encodeBmp(frame, file);
        } catch (const Failure& failure) {
            said = failure.what();
        }
        const off_t written = lseek(fd, 0, SEEK_END);
        close(fd);
        const std::string size = std::to_string(width) + " x " + std::to_string(height);
        check(said == "cannot write 'shot.bmp': " + size + " pixels is more than a BMP file holds (4 GiB)" &&
                  written == 0,
              "a " + size + " BMP refused: '" + said + "', " + std::to_string(written) + " bytes written");
    }
}

// A message is one line on stderr, however its names are made, and the notification takes any
// message as valid UTF-8.
void messagesTold()
{
    const std::pair<std::string, std::string> lines[] = {
        {"'/tmp/new\nline\r\t\x1b[2J\x7f'", "'/tmp/new\\x0aline\\x0d\\x09\\x1b[2J\\x7f'"},
        {"\xc3\xa9t\xc3\xa9 \xff", "\xc3\xa9t\xc3\xa9 \xff"}, // bytes beyond ASCII pass as they are
    };
    for (const auto& [text, line] : lines)
        check(oneLine(text) == line, "one line: '" + oneLine(text) + "'");

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
    for (const auto& [text, valid] : texts)
        check(validUtf8(text) == valid, "valid UTF-8: '" + oneLine(validUtf8(text)) + "'");

    // Whatever a capture throws becomes one message.
    const std::pair<std::exception_ptr, std::string> thrown[] = {
        {std::make_exception_ptr(Failure("cannot save into '/a'")), "cannot save into '/a'"},
        {std::make_exception_ptr(std::bad_alloc()), "out of memory"},
        {std::make_exception_ptr(std::system_error(EAGAIN, std::generic_category())),
         "the system refused what the capture needs: Resource temporarily unavailable"},
        {std::make_exception_ptr(std::length_error("vector")), "the capture broke off: vector"},
        {std::make_exception_ptr(42), "the capture broke off"},
    };
    for (const auto& [exception, message] : thrown)
        check(messageOf(exception) == message, "thrown: '" + messageOf(exception) + "'");
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
