#include "grab/desktop_composer.h"

#include "failure.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <wayland-client-protocol.h>

namespace {

constexpr long long kLargestSide = 32767;

// wl_shm formats are little-endian words, as pixman's are on the machines this tool runs on.
// Alpha is dropped: a screenshot shows what the screen shows.
pixman_format_code_t pixmanFormat(std::uint32_t format)
{
    switch (format) {
    case WL_SHM_FORMAT_XRGB8888:
    case WL_SHM_FORMAT_ARGB8888:
        return PIXMAN_x8r8g8b8;
    case WL_SHM_FORMAT_XBGR8888:
    case WL_SHM_FORMAT_ABGR8888:
        return PIXMAN_x8b8g8r8;
    case WL_SHM_FORMAT_BGRX8888:
    case WL_SHM_FORMAT_BGRA8888:
        return PIXMAN_b8g8r8x8;
    case WL_SHM_FORMAT_XRGB2101010:
    case WL_SHM_FORMAT_ARGB2101010:
        return PIXMAN_x2r10g10b10;
    case WL_SHM_FORMAT_XBGR2101010:
    case WL_SHM_FORMAT_ABGR2101010:
        return PIXMAN_x2b10g10r10;
    case WL_SHM_FORMAT_RGB565:
        return PIXMAN_r5g6b5;
    default:
        return pixman_format_code_t(0);
    }
}

bool swapsAxes(int transform)
{
    return transform & WL_OUTPUT_TRANSFORM_90;
}

// The buffer's size as the output shows it.
std::pair<int, int> shownSize(const OutputCopy& output)
{
    return swapsAxes(output.transform) ? std::pair{output.height, output.width}
                                       : std::pair{output.width, output.height};
}

pixman_f_transform translation(double x, double y)
{
    pixman_f_transform t;
    pixman_f_transform_init_translate(&t, x, y);
    return t;
}

pixman_f_transform scaling(double x, double y)
{
    pixman_f_transform t;
    pixman_f_transform_init_scale(&t, x, y);
    return t;
}

// `then` applied after `first`.
pixman_f_transform operator*(const pixman_f_transform& then, const pixman_f_transform& first)
{
    pixman_f_transform t;
    pixman_f_transform_multiply(&t, &then, &first);
    return t;
}

// Maps a point of the output's place in the image (relative to its corner) to the point of
// its buffer that shows there. The output transform says how the buffer is turned to be
// shown; the inverse is taken here, about the centre: flipped outputs are mirrored first,
// then turned back by the transform's quarter turns, counterclockwise ones.
pixman_f_transform placeToBuffer(const OutputCopy& output, const PixelBox& place)
{
    const auto [shownWidth, shownHeight] = shownSize(output);
    const int turns = output.transform & 3;
    static constexpr double kCos[] = {1, 0, -1, 0}, kSin[] = {0, 1, 0, -1};
    pixman_f_transform rotation;
    pixman_f_transform_init_rotate(&rotation, kCos[turns], -kSin[turns]);
    const double mirror = output.transform & WL_OUTPUT_TRANSFORM_FLIPPED ? -1 : 1;
    const double invert = output.yInverted ? -1 : 1;
    return translation(output.width / 2.0, output.height / 2.0) * scaling(1, invert) * rotation *
           scaling(mirror, 1) * translation(-shownWidth / 2.0, -shownHeight / 2.0) *
           scaling(double(shownWidth) / (place.x1 - place.x0), double(shownHeight) / (place.y1 - place.y0));
}

bool isIdentity(const pixman_f_transform& t)
{
    static constexpr double kIdentity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (std::abs(t.m[r][c] - kIdentity[r][c]) > 1e-9)
                return false;
        }
    }
    return true;
}

// Whether the buffer is enlarged a whole number of times in both directions: then each of its
// pixels becomes a block of equal pixels, as sharp as on the screen.
bool wholeScaling(const pixman_f_transform& t)
{
    // Only quarter turns, so each row and column has one nonzero coefficient.
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 2; ++c) {
            const double a = std::abs(t.m[r][c]);
            if (a > 1e-9 && std::abs(1 / a - std::round(1 / a)) > 1e-6)
                return false;
        }
    }
    return true;
}

class Region {
public:
    Region() { pixman_region32_init(&m_region); }
    Region(const Region&) = delete;
    Region& operator=(const Region&) = delete;
    ~Region() { pixman_region32_fini(&m_region); }
    pixman_region32_t* get() { return &m_region; }

private:
    pixman_region32_t m_region;
};

} // namespace

bool composableFormat(std::uint32_t format)
{
    return pixmanFormat(format) != 0;
}

int bytesPerPixel(std::uint32_t format)
{
    return PIXMAN_FORMAT_BPP(pixmanFormat(format)) / 8;
}

void placeByOutputScale(OutputCopy& output, int x, int y, int scale)
{
    const auto [shownWidth, shownHeight] = shownSize(output);
    scale = std::max(1, scale);
    output.x = x, output.y = y;
    output.logicalWidth = std::max(1, shownWidth / scale);
    output.logicalHeight = std::max(1, shownHeight / scale);
}

DesktopLayout layOutDesktop(const std::vector<OutputCopy>& outputs)
{
    // In 64 bits: the compositor's numbers are not to be trusted to add up within an int.
    std::int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    double scale = 1;
    for (const OutputCopy& o : outputs) {
        left = std::min<std::int64_t>(left, o.x);
        top = std::min<std::int64_t>(top, o.y);
        right = std::max(right, std::int64_t(o.x) + o.logicalWidth);
        bottom = std::max(bottom, std::int64_t(o.y) + o.logicalHeight);
        scale = std::max(scale, double(shownSize(o).first) / o.logicalWidth);
    }
    DesktopLayout layout;
    if (outputs.empty())
        return layout;
    // Edges are rounded alike wherever they fall, so that outputs side by side meet without a seam.
    const auto at = [scale](std::int64_t logical) { return std::llround(double(logical) * scale); };
    const long long width = at(right - left), height = at(bottom - top);
    // pixman places pixels with 16-bit whole coordinates.
    if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide)
        throw Failure("the Wayland compositor describes a desktop of " + std::to_string(width) + "x" +
                      std::to_string(height) + " pixels, which this tool cannot compose");
    layout.width = int(width);
    layout.height = int(height);
    for (const OutputCopy& o : outputs)
        layout.places.push_back({int(at(o.x - left)), int(at(o.y - top)),
                                 int(at(o.x + o.logicalWidth - left)), int(at(o.y + o.logicalHeight - top))});
    return layout;
}

OutputComposer::OutputComposer(const std::vector<OutputCopy>& outputs) : m_layout(layOutDesktop(outputs))
{
    Region covered;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const OutputCopy& o = outputs[i];
        const PixelBox& place = m_layout.places[i];
        Image source(pixman_image_create_bits_no_clear(
            pixmanFormat(o.format), o.width, o.height,
            reinterpret_cast<std::uint32_t*>(const_cast<std::uint8_t*>(o.pixels)), o.stride));
        if (!source)
            throw Failure("cannot read the copy of an output");
        const pixman_f_transform toBuffer = placeToBuffer(o, place);
        // An output shown as it is stored, at the image's scale, is copied row by row.
        if (!isIdentity(toBuffer)) {
            pixman_transform t;
            pixman_transform_from_pixman_f_transform(&t, &toBuffer);
            pixman_image_set_transform(source.get(), &t);
            pixman_image_set_filter(source.get(),
                                    wholeScaling(toBuffer) ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR,
                                    nullptr, 0);
            // Samples beyond the edge repeat it rather than fade to black.
            pixman_image_set_repeat(source.get(), PIXMAN_REPEAT_PAD);
        }
        m_sources.push_back(std::move(source));
        pixman_region32_union_rect(covered.get(), covered.get(), place.x0, place.y0,
                                   unsigned(place.x1 - place.x0), unsigned(place.y1 - place.y0));
    }
    Region uncovered;
    pixman_region32_init_rect(uncovered.get(), 0, 0, unsigned(width()), unsigned(height()));
    pixman_region32_subtract(uncovered.get(), uncovered.get(), covered.get());
    int count = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(uncovered.get(), &count);
    m_uncovered.assign(boxes, boxes + count);
}

void OutputComposer::render(std::uint8_t* rows, std::size_t stride, int top, int count) const
{
    if (stride < std::size_t(width()) * 4)
        throw Failure("the outputs' image is wider than the rows it is composed into");
    Image target(pixman_image_create_bits_no_clear(PIXMAN_x8r8g8b8, width(), count,
                                                   reinterpret_cast<std::uint32_t*>(rows), int(stride)));
    if (!target)
        throw Failure("cannot compose the outputs' copies");
    const int bottom = top + count;
    for (pixman_box32_t box : m_uncovered) {
        box.y1 = std::max(box.y1, top) - top;
        box.y2 = std::min(box.y2, bottom) - top;
        if (box.y1 < box.y2) {
            static constexpr pixman_color_t kBlack{0, 0, 0, 0xffff};
            pixman_image_fill_boxes(PIXMAN_OP_SRC, target.get(), &kBlack, 1, &box);
        }
    }
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        const PixelBox& place = m_layout.places[i];
        const int from = std::max(top, place.y0), to = std::min(bottom, place.y1);
        if (from >= to)
            continue;
        pixman_image_composite32(PIXMAN_OP_SRC, m_sources[i].get(), nullptr, target.get(), 0, from - place.y0,
                                 0, 0, place.x0, from - top, place.x1 - place.x0, to - from);
    }
}
