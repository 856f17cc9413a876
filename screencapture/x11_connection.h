#pragma once

#include <chrono>
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

// How long the X server may take to answer: one that another client has grabbed serves that
// client alone, for as long as it likes, and a frozen one serves nobody. xcb itself waits for
// ever; every wait of this tool on the server goes through the functions below instead.
constexpr auto kX11AnswerWait = std::chrono::seconds(10);

// xcb_connect, but throwing a Failure when the server has not greeted this client in time.
// The connection may have failed otherwise: see xcb_connection_has_error.
XcbConnection connectToX11(const char* display, int* screen);

// Waits for the answer to request `sequence`: its reply, or nullptr with *error set (when
// `error` is not null) to what the server said against it, or to nullptr when the connection
// failed. Throws a Failure when no answer comes in time.
void* waitForAnswer(xcb_connection_t* c, unsigned sequence, xcb_generic_error_t** error);
template <typename T, typename Cookie>
Reply<T> waitForReply(xcb_connection_t* c, Cookie cookie, xcb_generic_error_t** error = nullptr)
{
    return Reply<T>(static_cast<T*>(waitForAnswer(c, cookie.sequence, error)));
}

// The error a checked request without a reply met, or nullptr; throws a Failure when the
// server has not handled it in time.
Reply<xcb_generic_error_t> checkRequest(xcb_connection_t* c, xcb_void_cookie_t cookie);

// Waits until the server has handled every request sent so far (nothing happens when the
// connection failed); throws a Failure when it has not in time. Afterwards xcb's own waits for
// those requests (an extension's presence, the largest request) end at once.
void syncWithServer(xcb_connection_t* c);

// The next event; nullptr once the connection failed. Throws a Failure when none comes before
// `deadline`, which a caller waiting for one kind of event keeps for all it reads: other events
// must not hold it past kX11AnswerWait.
Reply<xcb_generic_event_t> waitForEvent(xcb_connection_t* c, std::chrono::steady_clock::time_point deadline);
