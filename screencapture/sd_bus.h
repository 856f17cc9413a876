#pragma once

#include "deadline.h"
#include "shared_library.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <systemd/sd-bus.h>

// The sd-bus functions the tool calls, from libsystemd loaded at run time: only portal captures and
// failures told to the desktop talk to the session bus, and other captures should not pay for it.
struct SdBus {
    SharedLibrary library{"libsystemd.so.0"};
    LIBRARY_FUNCTION(openUser, sd_bus_open_user);
    LIBRARY_FUNCTION(flushCloseUnref, sd_bus_flush_close_unref);
    LIBRARY_FUNCTION(closeUnref, sd_bus_close_unref);
    LIBRARY_FUNCTION(getUniqueName, sd_bus_get_unique_name);
    LIBRARY_FUNCTION(addMatch, sd_bus_add_match);
    LIBRARY_FUNCTION(path, sd_bus_message_get_path);
    LIBRARY_FUNCTION(sender, sd_bus_message_get_sender);
    LIBRARY_FUNCTION(slotUnref, sd_bus_slot_unref);
    LIBRARY_FUNCTION(newMethodCall, sd_bus_message_new_method_call);
    LIBRARY_FUNCTION(append, sd_bus_message_append);
    LIBRARY_FUNCTION(messageRef, sd_bus_message_ref);
    LIBRARY_FUNCTION(messageUnref, sd_bus_message_unref);
    LIBRARY_FUNCTION(isMethodError, sd_bus_message_is_method_error);
    LIBRARY_FUNCTION(messageError, sd_bus_message_get_error);
    LIBRARY_FUNCTION(messageErrno, sd_bus_message_get_errno);
    LIBRARY_FUNCTION(callAsync, sd_bus_call_async);
    LIBRARY_FUNCTION(callMethodAsync, sd_bus_call_method_async);
    LIBRARY_FUNCTION(read, sd_bus_message_read);
    LIBRARY_FUNCTION(skip, sd_bus_message_skip);
    LIBRARY_FUNCTION(enter, sd_bus_message_enter_container);
    LIBRARY_FUNCTION(exit, sd_bus_message_exit_container);
    LIBRARY_FUNCTION(process, sd_bus_process);
    LIBRARY_FUNCTION(wait, sd_bus_wait);
};

// An sd-bus object, released by the library's unref function.
template <typename T> struct Unref {
    T* (*unref)(T*);
    void operator()(T* object) const { unref(object); }
};
template <typename T> using Owned = std::unique_ptr<T, Unref<T>>;

// What sd-bus's waits take.
inline std::uint64_t microsecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    return std::uint64_t(millisecondsUntil(deadline)) * 1000;
}

// Handles the bus's messages until `done()` or the deadline: 0 once done, -ETIMEDOUT once the
// deadline has passed first, or the bus's own error. The deadline is looked at on every pass, not
// only when nothing is left to read: a peer that keeps sending to this process never holds the
// wait open.
template <typename Done>
int processUntil(const SdBus& lib, sd_bus* bus, std::chrono::steady_clock::time_point deadline, Done done)
{
    while (!done()) {
        const std::uint64_t left = microsecondsUntil(deadline);
        if (left == 0)
            return -ETIMEDOUT;
        int r = lib.process(bus, nullptr);
        if (r == 0)
            r = lib.wait(bus, left);
        if (r < 0)
            return r;
    }
    return 0;
}

// One method call and its reply, waited for until a deadline (see processUntil), the bus's own
// authentication included.
class MethodCall {
public:
    MethodCall(const SdBus& lib, sd_bus* bus) : m_lib(lib), m_bus(bus), m_reply(nullptr, {lib.messageUnref})
    {}
    MethodCall(const MethodCall&) = delete;
    MethodCall& operator=(const MethodCall&) = delete;

    // 0 once the reply has come, an error reply included (see error()); -ETIMEDOUT when none came
    // before the deadline; or why the call could not be made or its reply waited for.
    int send(sd_bus_message* call, std::chrono::steady_clock::time_point deadline);
    // The reply, once send() has returned 0.
    sd_bus_message* reply() const { return m_reply.get(); }
    // The error the reply says, or null for a reply that is no error.
    const sd_bus_error* error() const;

private:
    static int onReply(sd_bus_message* reply, void* userdata, sd_bus_error*);

    const SdBus& m_lib;
    sd_bus* m_bus;
    Owned<sd_bus_message> m_reply;
};
