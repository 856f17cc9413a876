#pragma once

#include "wayland_object.h"

#include <chrono>
#include <functional>
#include <poll.h>
#include <string>
#include <vector>

// A connection to a Wayland compositor whose every wait is bounded or can watch other
// descriptors besides: a compositor that stops answering must not hang this process.
class WaylandConnection {
public:
    // Connects to the compositor `name` names; throws a Failure when it cannot be reached.
    explicit WaylandConnection(const char* name);

    wl_display* display() const { return m_display.get(); }

    // wl_display_roundtrip, but failing when the compositor does not answer within `timeout`.
    void roundtrip(std::chrono::seconds timeout);
    // Dispatches the compositor's events until `done` holds; throws a Failure saying the
    // compositor did not `what` when `timeout` passes first.
    void dispatchUntil(const std::function<bool()>& done, std::chrono::seconds timeout, const char* what);
    // Waits at most `timeout` milliseconds (-1: for as long as it takes) for the compositor's
    // events or for the caller's descriptors in polled[1...] to be ready, and dispatches the events
    // that came; polled[0] is the connection's place. Returns false when nothing came in time.
    // Throws a Failure when the connection fails.
    bool waitAndDispatch(std::vector<pollfd>& polled, int timeout);
    // Throws the Failure that says why the connection failed.
    [[noreturn]] void fail() const;

private:
    std::string m_name;
    WaylandObject<wl_display> m_display;
};
