#pragma once

#include <memory>
#include <wayland-client.h>

// Owns a Wayland object and sends its destructor request (or disconnects, for the display)
// when it goes; every object must go before the display it belongs to. Each kind of object
// names its destructor in a specialization of WaylandDestroy.
template <typename T> struct WaylandDestroy;
template <typename T> using WaylandObject = std::unique_ptr<T, WaylandDestroy<T>>;

#define KESTRELLE_WAYLAND_DESTROY(type, destroy)                                                             \
    template <> struct WaylandDestroy<type> {                                                                \
        void operator()(type* object) const { destroy(object); }                                             \
    }

KESTRELLE_WAYLAND_DESTROY(wl_display, wl_display_disconnect);
KESTRELLE_WAYLAND_DESTROY(wl_registry, wl_registry_destroy);
KESTRELLE_WAYLAND_DESTROY(wl_shm, wl_shm_destroy);
KESTRELLE_WAYLAND_DESTROY(wl_buffer, wl_buffer_destroy);
KESTRELLE_WAYLAND_DESTROY(wl_callback, wl_callback_destroy);

// From version 3 on, an output is released, which the compositor is told of.
template <> struct WaylandDestroy<wl_output> {
    void operator()(wl_output* output) const
    {
        if (wl_output_get_version(output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
            wl_output_release(output);
        else
            wl_output_destroy(output);
    }
};
