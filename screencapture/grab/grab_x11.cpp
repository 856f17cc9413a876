#include "grab/grab_x11.h"

#include "failure.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <sys/socket.h>
#include <xcb/randr.h>
#include <xcb/shm.h>

namespace {

// Stripes fetched by one request: fewer requests wake this thread and the server less often,
// and both share the cores with the encoders.
constexpr int kStripesPerRequest = 4;
// Requests sent ahead of the one being received, so that the server never waits for us.
constexpr int kRequestsInFlight = 3;
// A stripe's slot is free once the stripe after the slot's last one is released too: with more
// stripes in flight, a request could wait for a slot that only its own reply would free.
static_assert(kStripesPerRequest * kRequestsInFlight < Frame::kSlots - 1);

// Stripes that follow one another in the frame's ring, and the rows they hold.
struct StripeRun {
    int first;
    int count;
    int rows;
};

// Reserves the slots of the next stripes that one request can fetch, at most kStripesPerRequest;
// nothing once the capture failed or the readers gave up.
std::optional<StripeRun> reserveRun(Frame& frame, int first)
{
    const int count = frame.adjacentStripes(first, kStripesPerRequest);
    for (int s = first; s < first + count; ++s) {
        if (!frame.beginStripe(s))
            return std::nullopt;
    }
    const int last = first + count - 1;
    return StripeRun{first, count, Frame::topOf(last) + frame.rowsOf(last) - Frame::topOf(first)};
}

// Shared memory only over a local socket: the memory is handed to the server as a descriptor,
// which only a Unix socket carries, and so never names memory on another machine or in
// another container.
bool localConnection(xcb_connection_t* c)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getsockname(xcb_get_file_descriptor(c), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           address.ss_family == AF_UNIX;
}

[[noreturn]] void failRequest(xcb_generic_error_t* error)
{
    const bool refused = error != nullptr;
    std::free(error);
    throw Failure(refused ? "the X server refused to hand over the screen image"
                          : "lost the connection to the X server");
}

// How the server lays out images of the root window's depth.
xcb_format_t pixmapFormatOf(xcb_connection_t* c, const xcb_screen_t* screen)
{
    for (auto f = xcb_setup_pixmap_formats_iterator(xcb_get_setup(c)); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == screen->root_depth)
            return *f.data;
    }
    throw Failure("the X server does not describe images of its root window's depth");
}

PixelLayout layoutOf(xcb_connection_t* c, const xcb_screen_t* screen, int bitsPerPixel)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
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
    // Both asked at once, for one round trip; a server older than RandR 1.5 answers the second
    // with an error, which goes unread.
    const auto versionCookie = xcb_randr_query_version(c, 1, 5);
    const auto monitorsCookie = xcb_randr_get_monitors(c, screen->root, 1);
    auto version = waitForReply<xcb_randr_query_version_reply_t>(c, versionCookie);
    auto reply = waitForReply<xcb_randr_get_monitors_reply_t>(c, monitorsCookie);
    if (!version || (version->major_version == 1 && version->minor_version < 5))
        return {};
    if (!reply || reply->nMonitors == 0)
        return {};

    // Each monitor as much of it as lies on the root window: RandR lets a monitor be placed
    // anywhere, even wholly off the root.
    const int width = screen->width_in_pixels, height = screen->height_in_pixels;
    std::vector<Rectangle> monitors;
    for (auto m = xcb_randr_get_monitors_monitors_iterator(reply.get()); m.rem;
         xcb_randr_monitor_info_next(&m)) {
        const int left = std::max(0, int(m.data->x)), top = std::max(0, int(m.data->y));
        const int right = std::min(width, m.data->x + m.data->width);
        const int bottom = std::min(height, m.data->y + m.data->height);
        if (left < right && top < bottom)
            monitors.push_back({left, top, right - left, bottom - top});
    }
    // Only a monitor that spans the root alone is sure to leave no gap; anything else is
    // checked row by row while grabbing. Monitors that show none of the root tell nothing.
    for (const Rectangle& m : monitors) {
        if (m.width == width && m.height == height)
            return {};
    }
    return monitors;
}

} // namespace

std::size_t checkedImageStride(std::size_t length, int width, int rows, int bitsPerPixel, int scanlinePad)
{
    const std::size_t padBits = std::size_t(std::max(8, scanlinePad));
    const std::size_t stride =
        (std::size_t(width) * std::size_t(bitsPerPixel) + padBits - 1) / padBits * padBits / 8;
    if (length < stride * std::size_t(rows))
        throw Failure("the X server sent " + std::to_string(length) + " bytes for an image of " +
                      std::to_string(rows) + " rows of " + std::to_string(stride) + " bytes");
    return stride;
}

GrabberX11::GrabberX11(const char* display)
{
    int screenNumber = 0;
    m_connection = connectToX11(display, &screenNumber);
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
    xcb_prefetch_extension_data(c, &xcb_shm_id);
    m_format = pixmapFormatOf(c, m_screen);
    m_layout = layoutOf(c, m_screen, m_format.bits_per_pixel);
    // Bounded here, as xcb's own wait for the extensions is not.
    syncWithServer(c);
    // Asked now, answered while the monitors are asked for and the frame is made.
    if (localConnection(c)) {
        const xcb_query_extension_reply_t* shm = xcb_get_extension_data(c, &xcb_shm_id);
        if (shm && shm->present)
            m_shmVersion = xcb_shm_query_version(c);
    }
    m_monitors = monitorsLeavingGaps(c, m_screen);
}

void GrabberX11::grab(Frame& frame)
{
    const std::uint32_t segment = xcb_generate_id(m_connection.get());
    if (m_layout.isBgrx() && attachShared(frame, segment))
        grabShared(frame, segment);
    else
        grabByRequest(frame);
}

bool GrabberX11::attachShared(const Frame& frame, std::uint32_t segment)
{
    xcb_connection_t* c = m_connection.get();
    if (!m_shmVersion.sequence)
        return false;
    auto version = waitForReply<xcb_shm_query_version_reply_t>(c, m_shmVersion);
    if (!version || (version->major_version == 1 && version->minor_version < 2))
        return false;
    int fd = frame.memory().duplicateFd();
    if (fd < 0)
        return false;
    // xcb sends and closes the descriptor.
    return !checkRequest(c, xcb_shm_attach_fd_checked(c, segment, fd, 0));
}

void GrabberX11::grabShared(Frame& frame, std::uint32_t segment)
{
    xcb_connection_t* c = m_connection.get();
    const int w = frame.width();
    std::deque<std::pair<StripeRun, xcb_shm_get_image_cookie_t>> pending;
    for (int next = 0; next < frame.stripes() || !pending.empty();) {
        while (next < frame.stripes() && int(pending.size()) < kRequestsInFlight) {
            std::optional<StripeRun> run = reserveRun(frame, next);
            if (!run)
                return;
            pending.emplace_back(*run,
                                 xcb_shm_get_image(c, m_screen->root, 0, std::int16_t(Frame::topOf(next)),
                                                   std::uint16_t(w), std::uint16_t(run->rows), ~0u,
                                                   XCB_IMAGE_FORMAT_Z_PIXMAP, segment,
                                                   std::uint32_t(frame.offsetOf(next))));
            next += run->count;
        }
        xcb_flush(c);
        auto [run, cookie] = pending.front();
        pending.pop_front();
        xcb_generic_error_t* error = nullptr;
        auto reply = waitForReply<xcb_shm_get_image_reply_t>(c, cookie, &error);
        if (!reply)
            failRequest(error);
        // The server writes into the ring's memory, which is there whatever it says; short, the
        // stripes would hold what the ring held before.
        checkedImageStride(reply->size, w, run.rows, 32, 32);
        blackenUncovered(frame.memory().data() + frame.offsetOf(run.first), frame.stride(), w,
                         Frame::topOf(run.first), run.rows);
        frame.publish(run.first + run.count - 1);
    }
    xcb_shm_detach(c, segment);
    xcb_flush(c);
}

void GrabberX11::grabByRequest(Frame& frame)
{
    xcb_connection_t* c = m_connection.get();
    const int w = frame.width();
    std::deque<std::pair<int, xcb_get_image_cookie_t>> pending;
    for (int next = 0; next < frame.stripes() || !pending.empty();) {
        while (next < frame.stripes() && int(pending.size()) < kRequestsInFlight) {
            const int count = frame.adjacentStripes(next, kStripesPerRequest);
            const int last = next + count - 1;
            const int rows = Frame::topOf(last) + frame.rowsOf(last) - Frame::topOf(next);
            pending.emplace_back(next, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_screen->root, 0,
                                                     std::int16_t(Frame::topOf(next)), std::uint16_t(w),
                                                     std::uint16_t(rows), ~0u));
            next += count;
        }
        xcb_flush(c);
        auto [first, cookie] = pending.front();
        pending.pop_front();
        xcb_generic_error_t* error = nullptr;
        auto reply = waitForReply<xcb_get_image_reply_t>(c, cookie, &error);
        if (!reply)
            failRequest(error);
        std::optional<StripeRun> run = reserveRun(frame, first);
        if (!run)
            return;
        std::uint8_t* slots = frame.memory().data() + frame.offsetOf(first);
        const std::uint8_t* data = xcb_get_image_data(reply.get());
        const std::size_t sourceStride =
            checkedImageStride(std::size_t(xcb_get_image_data_length(reply.get())), w, run->rows,
                               m_format.bits_per_pixel, m_format.scanline_pad);
        if (m_layout.isBgrx() && sourceStride == frame.stride()) {
            std::memcpy(slots, data, frame.stride() * std::size_t(run->rows));
        } else {
            for (int r = 0; r < run->rows; ++r)
                m_layout.convertRow(data + sourceStride * std::size_t(r),
                                    slots + frame.stride() * std::size_t(r), w);
        }
        blackenUncovered(slots, frame.stride(), w, Frame::topOf(first), run->rows);
        frame.publish(first + run->count - 1);
    }
}

void GrabberX11::blackenUncovered(std::uint8_t* stripe, std::size_t stride, int width, int top,
                                  int rows) const
{
    if (m_monitors.empty())
        return;
    std::vector<std::pair<int, int>> spans;
    for (int y = top; y < top + rows; ++y) {
        spans.clear();
        for (const Rectangle& m : m_monitors) {
            if (y >= m.y && y < m.y + m.height)
                spans.emplace_back(m.x, m.x + m.width);
        }
        std::sort(spans.begin(), spans.end());
        int x = 0;
        std::uint8_t* row = stripe + stride * std::size_t(y - top);
        for (auto [from, to] : spans) {
            if (from > x)
                std::memset(row + std::size_t(x) * 4, 0, std::size_t(from - x) * 4);
            x = std::max(x, to);
        }
        if (x < width)
            std::memset(row + std::size_t(x) * 4, 0, std::size_t(width - x) * 4);
    }
}
