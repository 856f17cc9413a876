// The composer on copies a headless sway never makes: rows stored bottom up, XBGR and 10-bit
// pixels, an output placed without xdg-output. Each pixel expected is worked out by hand.
#include "check.h"
#include "failure.h"
#include "grab/desktop_composer.h"

#include <cstdint>
#include <vector>
#include <wayland-client-protocol.h>

namespace {

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

void expect(const char* what, const std::vector<std::uint32_t>& got, const std::vector<std::uint32_t>& want)
{
    const bool same = check(got == want, what);
    for (std::size_t i = 0; !same && i < got.size(); ++i)
        std::printf("  pixel %zu: %06x, expected %06x\n", i, got[i], want[i]);
}

OutputCopy copyOf(const std::uint32_t* pixels, std::uint32_t format, int width, int height)
{
    return {.pixels = reinterpret_cast<const std::uint8_t*>(pixels),
            .format = format,
            .width = width,
            .height = height,
            .stride = width * 4};
}

} // namespace

int main()
{
    constexpr std::uint32_t a = 0xa00000, b = 0xb00000, c = 0xc00000, d = 0xd00000, e = 0xe00000,
                            f = 0xf00000;

    // Buffer rows a b c / d e f, stored bottom up, on an output turned 90 degrees: its left
    // column read from the bottom is the top row.
    const std::uint32_t bottomUp[] = {d, e, f, a, b, c};
    OutputCopy turned = copyOf(bottomUp, WL_SHM_FORMAT_XRGB8888, 3, 2);
    turned.logicalWidth = 2, turned.logicalHeight = 3;
    turned.transform = WL_OUTPUT_TRANSFORM_90, turned.yInverted = true;
    expect("y-inverted rows on a turned output", compose({turned}, 2, 3), {d, a, e, b, f, c});

    // Byte orders: XBGR8888 holds red in the low byte; XBGR2101010 10 bits a channel, red low,
    // its 2 top bits (alpha) left out.
    const std::uint32_t xbgr = 0xff332211, xbgr10 = 3u << 30 | 0x004u << 20 | 0x202u << 10 | 0x3ffu;
    OutputCopy left = copyOf(&xbgr, WL_SHM_FORMAT_XBGR8888, 1, 1),
               right = copyOf(&xbgr10, WL_SHM_FORMAT_XBGR2101010, 1, 1);
    left.logicalWidth = left.logicalHeight = right.logicalWidth = right.logicalHeight = 1;
    right.x = 1;
    expect("XBGR8888 and XBGR2101010", compose({left, right}, 2, 1), {0x112233, 0xff8001});

    // A scale 2 output at 0,0 (2x1 logical) and, beside it, one xdg-output does not describe:
    // wl_output puts it at 2,0 with scale 2, turned 90 degrees, so its 2x4 buffer shows as 4x2
    // pixels, 2x1 logical. Its left column (a) becomes the top row, its right (b) the bottom.
    const std::uint32_t described[] = {c, c, c, c, c, c, c, c}, undescribed[] = {a, b, a, b, a, b, a, b};
    OutputCopy first = copyOf(described, WL_SHM_FORMAT_XRGB8888, 4, 2);
    first.logicalWidth = 2, first.logicalHeight = 1;
    OutputCopy second = copyOf(undescribed, WL_SHM_FORMAT_XRGB8888, 2, 4);
    second.transform = WL_OUTPUT_TRANSFORM_90;
    placeByOutputScale(second, 2, 0, 2);
    expect("an output placed by wl_output", compose({first, second}, 8, 2),
           {c, c, c, c, a, a, a, a, c, c, c, c, b, b, b, b});

    // Outputs far apart, as a confused compositor may say: up to 32767 pixels a side (where
    // pixman's coordinates end) composed, beyond that a refusal, not an overflowing size.
    OutputCopy dot = copyOf(&xbgr, WL_SHM_FORMAT_XRGB8888, 1, 1);
    dot.logicalWidth = dot.logicalHeight = 1;
    struct Apart {
        int x, y;
        bool refused;
        const char* what;
    };
    for (const Apart& apart :
         {Apart{32766, 0, false, "a desktop 32767 pixels wide is composed"},
          Apart{32767, 0, true, "a desktop 32768 pixels wide is refused"},
          Apart{0, 32766, false, "a desktop 32767 pixels high is composed"},
          Apart{0, 32767, true, "a desktop 32768 pixels high is refused"},
          Apart{INT32_MAX - 1, 0, true, "outputs as far apart as an int goes are refused"}}) {
        OutputCopy far = dot;
        far.x = apart.x, far.y = apart.y;
        bool refused = false;
        try {
            layOutDesktop({dot, far});
        } catch (const Failure&) {
            refused = true;
        }
        check(refused == apart.refused, apart.what);
    }
    return finish();
}
