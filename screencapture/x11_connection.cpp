#include "x11_connection.h"

#include "deadline.h"
#include "failure.h"

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>
#include <thread>
#include <xcb/xcbext.h>

namespace {

[[noreturn]] void failToAnswer()
{
    throw Failure("the X server did not answer within " + std::to_string(kX11AnswerWait.count()) +
                  " seconds");
}

// Waits until the server has sent something or `deadline` has passed; false then, even with more
// to read: a server that keeps sending events holds no wait past its deadline.
bool waitForInput(xcb_connection_t* c, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const int left = millisecondsUntil(deadline);
        if (left == 0)
            return false;
        pollfd readable{xcb_get_file_descriptor(c), POLLIN, 0};
        const int ready = poll(&readable, 1, left);
        if (ready >= 0 || errno != EINTR)
            return ready != 0;
    }
}

} // namespace

XcbConnection connectToX11(const char* display, int* screen)
{
    // xcb_connect waits for the server's greeting without a bound, and a server that another
    // client has grabbed greets nobody new: it connects on a thread of its own, which is left
    // behind, still waiting, when the greeting does not come in time.
    struct Attempt {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<std::string> display;
        xcb_connection_t* connection = nullptr;
        int screen = 0;
        bool finished = false;
        bool abandoned = false;
    };
    auto attempt = std::make_shared<Attempt>();
    if (display)
        attempt->display = display;
    std::thread([attempt] {
        int number = 0;
        xcb_connection_t* c = xcb_connect(attempt->display ? attempt->display->c_str() : nullptr, &number);
        const std::lock_guard lock(attempt->mutex);
        if (attempt->abandoned) {
            xcb_disconnect(c);
            return;
        }
        attempt->connection = c;
        attempt->screen = number;
        attempt->finished = true;
        attempt->done.notify_one();
    }).detach();

    std::unique_lock lock(attempt->mutex);
    if (!attempt->done.wait_for(lock, kX11AnswerWait, [&] { return attempt->finished; })) {
        attempt->abandoned = true;
        failToAnswer();
    }
    if (screen)
        *screen = attempt->screen;
    return XcbConnection(attempt->connection);
}

void* waitForAnswer(xcb_connection_t* c, unsigned sequence, xcb_generic_error_t** error)
{
    const auto deadline = std::chrono::steady_clock::now() + kX11AnswerWait;
    xcb_flush(c);
    for (;;) {
        // Reads what has come, without waiting; answers at once on a failed connection.
        void* reply = nullptr;
        if (xcb_poll_for_reply(c, sequence, &reply, error))
            return reply;
        if (!waitForInput(c, deadline))
            failToAnswer();
    }
}

Reply<xcb_generic_error_t> checkRequest(xcb_connection_t* c, xcb_void_cookie_t cookie)
{
    // The request is known to be handled once a later one is answered.
    syncWithServer(c);
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    xcb_poll_for_reply(c, cookie.sequence, &reply, &error);
    std::free(reply);
    return Reply<xcb_generic_error_t>(error);
}

void syncWithServer(xcb_connection_t* c)
{
    std::free(waitForAnswer(c, xcb_get_input_focus(c).sequence, nullptr));
}

Reply<xcb_generic_event_t> waitForEvent(xcb_connection_t* c, std::chrono::steady_clock::time_point deadline)
{
    xcb_flush(c);
    for (;;) {
        if (Reply<xcb_generic_event_t> event{xcb_poll_for_event(c)})
            return event;
        if (xcb_connection_has_error(c))
            return nullptr;
        if (!waitForInput(c, deadline))
            failToAnswer();
    }
}
