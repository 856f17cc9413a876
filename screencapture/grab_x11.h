#pragma once

#include "grab.h"
#include "pixel_layout.h"

#include <memory>
#include <vector>
#include <xcb/xcb.h>

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

struct Rectangle {
    int x, y, width, height;
};

// Grabs the root window with GetImage in row stripes. Stripes keep every buffer small and
// warm and let encoding start on the first rows; they work on any connection, local or not.
class GrabberX11 final : public Grabber {
public:
    explicit GrabberX11(const char* display);

    int width() const override { return m_screen->width_in_pixels; }
    int height() const override { return m_screen->height_in_pixels; }
    void grab(Frame& frame) override;

private:
    void blackenUncovered(Frame& frame, int top, int rows) const;

    XcbConnection m_connection;
    xcb_screen_t* m_screen = nullptr;
    PixelLayout m_layout;
    std::vector<Rectangle> m_monitors; // empty when the monitors cover the whole root window
};
