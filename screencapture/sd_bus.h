#pragma once

#include "deadline.h"
#include "shared_library.h"

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
    LIBRARY_FUNCTION(call, sd_bus_call);
    LIBRARY_FUNCTION(callAsync, sd_bus_call_async);
    LIBRARY_FUNCTION(callMethodAsync, sd_bus_call_method_async);
    LIBRARY_FUNCTION(read, sd_bus_message_read);
    LIBRARY_FUNCTION(skip, sd_bus_message_skip);
    LIBRARY_FUNCTION(enter, sd_bus_message_enter_container);
    LIBRARY_FUNCTION(exit, sd_bus_message_exit_container);
    LIBRARY_FUNCTION(process, sd_bus_process);
    LIBRARY_FUNCTION(wait, sd_bus_wait);
    LIBRARY_FUNCTION(errorFree, sd_bus_error_free);
};

// An sd-bus object, released by the library's unref function.
template <typename T> struct Unref {
    T* (*unref)(T*);
    void operator()(T* object) const { unref(object); }
};
template <typename T> using Owned = std::unique_ptr<T, Unref<T>>;

struct BusError {
    const SdBus& lib;
    sd_bus_error error{}; // SD_BUS_ERROR_NULL, which is a C compound literal
    ~BusError() { lib.errorFree(&error); }
};

// What sd-bus's waits take.
inline std::uint64_t microsecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    return std::uint64_t(millisecondsUntil(deadline)) * 1000;
}
