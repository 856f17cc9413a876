#include "wayland_connection.h"

#include "deadline.h"
#include "failure.h"

#include <cerrno>

WaylandConnection::WaylandConnection(const char* name) : m_name(name)
{
    m_display.reset(wl_display_connect(name));
    if (!m_display)
        throw Failure("cannot connect to the Wayland compositor '" + m_name + "': " + errnoText(errno));
}

void WaylandConnection::roundtrip(std::chrono::seconds timeout)
{
    static constexpr wl_callback_listener kDone{
        .done = [](void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }};
    bool done = false;
    const WaylandObject<wl_callback> sync(wl_display_sync(m_display.get()));
    wl_callback_add_listener(sync.get(), &kDone, &done);
    dispatchUntil([&done] { return done; }, timeout, "answer");
}

void WaylandConnection::dispatchUntil(const std::function<bool()>& done, std::chrono::seconds timeout,
                                      const char* what)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<pollfd> polled(1);
    while (!done()) {
        if (!waitAndDispatch(polled, millisecondsUntil(deadline)))
            throw Failure(std::string("the Wayland compositor did not ") + what + " within " +
                          std::to_string(timeout.count()) + " seconds");
    }
}

bool WaylandConnection::waitAndDispatch(std::vector<pollfd>& polled, int timeout)
{
    wl_display* display = m_display.get();
    // Events already queued are dispatched first; they may be what the caller waits for.
    if (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0)
            fail();
        return true;
    }
    // What the socket does not take now goes once it is writable again.
    const bool flushed = wl_display_flush(display) >= 0;
    if (!flushed && errno != EAGAIN) {
        wl_display_cancel_read(display);
        fail();
    }
    polled[0] = {wl_display_get_fd(display), short(POLLIN | (flushed ? 0 : POLLOUT)), 0};
    const int ready = timeout != 0 ? poll(polled.data(), polled.size(), timeout) : 0;
    if (ready <= 0) {
        const bool interrupted = ready < 0 && errno == EINTR;
        wl_display_cancel_read(display);
        return interrupted;
    }
    if (polled[0].revents & (POLLIN | POLLERR | POLLHUP)) {
        if (wl_display_read_events(display) < 0)
            fail();
    } else {
        wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0)
        fail();
    return true;
}

void WaylandConnection::fail() const
{
    const int error = wl_display_get_error(m_display.get());
    if (error == EPROTO)
        throw Failure("the Wayland compositor '" + m_name + "' refused a request of this tool");
    throw Failure("lost the connection to the Wayland compositor '" + m_name + "'" +
                  (error ? ": " + errnoText(error) : std::string()));
}
