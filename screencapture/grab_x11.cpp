#include "grab_x11.h"

#include "failure.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <xcb/randr.h>

namespace {

template <typename T> struct FreeReply {
    void operator()(T* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply<T>>;

// About 1 MiB per stripe: large enough that requests cost nothing, small enough that the
// buffers xcb allocates for replies are reused (and so stay warm) from one stripe to the next.
constexpr std::size_t kStripeBytes = 1 << 20;
// Stripes requested ahead of the one being copied, so the server never waits for the client.
constexpr std::size_t kStripesInFlight = 3;

PixelLayout layoutOf(xcb_connection_t* c, const xcb_screen_t* screen)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    int bitsPerPixel = 0;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == screen->root_depth)
            bitsPerPixel = f.data->bits_per_pixel;
    }
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id != screen->root_visual)
                continue;
            if (v.data->_class != XCB_VISUAL_CLASS_TRUE_COLOR &&
                v.data->_class != XCB_VISUAL_CLASS_DIRECT_COLOR)
                throw Failure("unsupported X visual: only TrueColor desktops can be captured");
            return PixelLayout(bitsPerPixel, setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST,
                               v.data->red_mask, v.data->green_mask, v.data->blue_mask);
        }
    }
    throw Failure("the X server does not describe its root visual");
}

// The RandR monitors, or nothing when they cover the root window (the usual case) or the
// server cannot tell.
std::vector<Rectangle> monitorsLeavingGaps(xcb_connection_t* c, const xcb_screen_t* screen)
{
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
    if (!randr || !randr->present)
        return {};
    Reply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
    if (!version || (version->major_version == 1 && version->minor_version < 5))
        return {};
    Reply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, screen->root, 1), nullptr));
    if (!reply || reply->nMonitors == 0)
        return {};

    std::vector<Rectangle> monitors;
    for (auto m = xcb_randr_get_monitors_monitors_iterator(reply.get()); m.rem;
         xcb_randr_monitor_info_next(&m)) {
        monitors.push_back({m.data->x, m.data->y, m.data->width, m.data->height});
    }
    // Only a monitor that spans the root alone is sure to leave no gap; anything else is
    // checked row by row while grabbing.
    for (const Rectangle& m : monitors) {
        if (m.x <= 0 && m.y <= 0 && m.x + m.width >= screen->width_in_pixels &&
            m.y + m.height >= screen->height_in_pixels)
            return {};
    }
    return monitors;
}

} // namespace

GrabberX11::GrabberX11(const char* display)
{
    int screenNumber = 0;
    m_connection.reset(xcb_connect(display, &screenNumber));
    if (xcb_connection_has_error(m_connection.get()))
        throw Failure(std::string("cannot open display '") + display + "'");
    xcb_connection_t* c = m_connection.get();
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem)
        throw Failure(std::string("display '") + display + "' has no screen " + std::to_string(screenNumber));
    m_screen = screens.data;
    xcb_prefetch_extension_data(c, &xcb_randr_id);
    m_layout = layoutOf(c, m_screen);
    m_monitors = monitorsLeavingGaps(c, m_screen);
}

void GrabberX11::grab(Frame& frame)
{
    xcb_connection_t* c = m_connection.get();
    const int w = width();
    const int h = height();
    const int rowsPerStripe = int(std::max<std::size_t>(1, kStripeBytes / (std::size_t(w) * 4)));

    std::deque<std::pair<int, xcb_get_image_cookie_t>> pending;
    int nextRequest = 0;
    auto request = [&] {
        int rows = std::min(rowsPerStripe, h - nextRequest);
        pending.emplace_back(nextRequest, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_screen->root, 0,
                                                        std::int16_t(nextRequest), std::uint16_t(w),
                                                        std::uint16_t(rows), ~0u));
        nextRequest += rows;
    };
    while (nextRequest < h && pending.size() < kStripesInFlight)
        request();
    xcb_flush(c);

    while (!pending.empty()) {
        auto [top, cookie] = pending.front();
        pending.pop_front();
        if (nextRequest < h) {
            request();
            xcb_flush(c);
        }
        xcb_generic_error_t* error = nullptr;
        Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(c, cookie, &error));
        if (!reply) {
            std::free(error);
            throw Failure(error ? "the X server refused to hand over the screen image"
                                : "lost the connection to the X server");
        }
        const int rows = std::min(rowsPerStripe, h - top);
        const std::uint8_t* data = xcb_get_image_data(reply.get());
        const std::size_t sourceStride =
            std::size_t(xcb_get_image_data_length(reply.get())) / std::size_t(rows);
        if (m_layout.isBgrx() && sourceStride == frame.stride()) {
            std::memcpy(frame.row(top), data, frame.stride() * std::size_t(rows));
        } else {
            for (int r = 0; r < rows; ++r)
                m_layout.convertRow(data + sourceStride * std::size_t(r), frame.row(top + r), w);
        }
        blackenUncovered(frame, top, rows);
        frame.publish(top + rows);
    }
}

void GrabberX11::blackenUncovered(Frame& frame, int top, int rows) const
{
    if (m_monitors.empty())
        return;
    std::vector<std::pair<int, int>> spans;
    for (int y = top; y < top + rows; ++y) {
        spans.clear();
        for (const Rectangle& m : m_monitors) {
            if (y >= m.y && y < m.y + m.height)
                spans.emplace_back(std::max(0, m.x), std::min(frame.width(), m.x + m.width));
        }
        std::sort(spans.begin(), spans.end());
        int x = 0;
        std::uint8_t* row = frame.row(y);
        for (auto [from, to] : spans) {
            if (from > x)
                std::memset(row + std::size_t(x) * 4, 0, std::size_t(from - x) * 4);
            x = std::max(x, to);
        }
        if (x < frame.width())
            std::memset(row + std::size_t(x) * 4, 0, std::size_t(frame.width() - x) * 4);
    }
}
