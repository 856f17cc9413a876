#pragma once

#include "grab/grabber.h"
#include "grab/pixel_layout.h"
#include "x11_connection.h"

#include <vector>
#include <xcb/shm.h>
#include <xcb/xcb.h>

struct Rectangle {
    int x, y, width, height;
};

// The bytes from one row to the next of a ZPixmap image of `rows` rows `width` pixels wide, each
// row padded to `scanlinePad` bits, checked against the `length` bytes the X server sent: a reply
// too short for them (from a hostile server over TCP, say) is refused rather than read past.
std::size_t checkedImageStride(std::size_t length, int width, int rows, int bitsPerPixel, int scanlinePad);

// Grabs the root window in row stripes into the frame's ring. On a local connection the
// server writes each stripe straight into the ring's shared memory (MIT-SHM); elsewhere, or
// for pixels that need converting, GetImage replies are copied in. Either way a few requests
// stay in flight, so the server never waits for the client.
class GrabberX11 final : public Grabber {
public:
    explicit GrabberX11(const char* display);

    int width() const override { return m_screen->width_in_pixels; }
    int height() const override { return m_screen->height_in_pixels; }
    void grab(Frame& frame) override;

private:
    bool attachShared(const Frame& frame, std::uint32_t segment);
    void grabShared(Frame& frame, std::uint32_t segment);
    void grabByRequest(Frame& frame);
    void blackenUncovered(std::uint8_t* stripe, std::size_t stride, int width, int top, int rows) const;

    XcbConnection m_connection;
    xcb_screen_t* m_screen = nullptr;
    xcb_format_t m_format{}; // how the server lays out images of the root window
    PixelLayout m_layout;
    // The monitors, clipped to the root window; empty when one covers it all or none shows any of it.
    std::vector<Rectangle> m_monitors;
    xcb_shm_query_version_cookie_t m_shmVersion{}; // not sent (0) where shared memory cannot work
};
