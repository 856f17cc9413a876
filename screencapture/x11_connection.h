#pragma once

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

// A connection to an X server, closed when it goes.
struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

// A reply (or an error) from the X server, which xcb hands over to be freed.
template <typename T> struct FreeReply {
    void operator()(T* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply<T>>;
