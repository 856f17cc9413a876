#pragma once

#include "wayland_connection.h"
#include "wayland_object.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

KESTRELLE_WAYLAND_DESTROY(wl_seat, wl_seat_destroy); // bound at version 1, before release
KESTRELLE_WAYLAND_DESTROY(zwlr_data_control_manager_v1, zwlr_data_control_manager_v1_destroy);
KESTRELLE_WAYLAND_DESTROY(zwlr_data_control_device_v1, zwlr_data_control_device_v1_destroy);
KESTRELLE_WAYLAND_DESTROY(zwlr_data_control_offer_v1, zwlr_data_control_offer_v1_destroy);
KESTRELLE_WAYLAND_DESTROY(zwlr_data_control_source_v1, zwlr_data_control_source_v1_destroy);

// Sets a Wayland seat's clipboard to the image (image/png) through the wlroots data-control
// protocol, which needs no window or keyboard focus, and writes the image to every client that
// pastes it. A reader that stops reading holds up no one: each paste is written without
// blocking, between the compositor's events.
class ClipboardServerWayland {
public:
    // Connects to the compositor of that name; throws a Failure when it cannot be reached or
    // offers no data-control.
    explicit ClipboardServerWayland(const char* display);
    ~ClipboardServerWayland();
    ClipboardServerWayland(const ClipboardServerWayland&) = delete;
    ClipboardServerWayland& operator=(const ClipboardServerWayland&) = delete;

    // Sets the clipboard to the image; throws a Failure when the compositor refuses it.
    void take(const std::uint8_t* png, std::size_t size);
    // Serves until another client takes the clipboard, or the seat or the compositor goes away;
    // then finishes the pastes under way, for a few seconds at most.
    void serve();

private:
    class Paste { // one client's copy of the image, written as fast as its pipe takes it
    public:
        explicit Paste(int fd) : m_fd(fd) {}
        Paste(Paste&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)), m_sent(other.m_sent) {}
        Paste& operator=(Paste&& other) noexcept;
        ~Paste();
        int fd() const { return m_fd; }
        // Writes what the pipe takes now; false once the paste is over, written or failed.
        bool writeSome(const std::uint8_t* png, std::size_t size);

    private:
        int m_fd;
        std::size_t m_sent = 0;
    };

    static const wl_registry_listener kRegistryListener;
    static const zwlr_data_control_device_v1_listener kDeviceListener;
    static const zwlr_data_control_source_v1_listener kSourceListener;

    void writePastes(const std::vector<struct pollfd>& polled);
    void finishPastes();

    const std::uint8_t* m_png = nullptr;
    std::size_t m_size = 0;
    bool m_over = false; // the clipboard is no longer ours to serve
    std::vector<Paste> m_pastes;

    // In the order of creation, so that each is destroyed before what it came from.
    WaylandConnection m_connection;
    WaylandObject<wl_seat> m_seat;
    WaylandObject<zwlr_data_control_manager_v1> m_manager;
    WaylandObject<zwlr_data_control_device_v1> m_device;
    WaylandObject<zwlr_data_control_offer_v1>
        m_selection; // the current selection, which this server never reads
    WaylandObject<zwlr_data_control_source_v1> m_source;
};
