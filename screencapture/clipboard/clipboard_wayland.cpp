#include "clipboard/clipboard_wayland.h"

#include "clipboard/clipboard_server.h"
#include "deadline.h"
#include "failure.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kPngType = "image/png";
// How long the compositor may take to answer a request: longer than the capture waits for the
// server's answer, so that a frozen compositor reads as a server that did not answer, as a frozen X
// server does. The bound ends a server that nobody waits for any more.
constexpr auto kAnswerTimeout = kAnswerWait * 2;

} // namespace

const wl_registry_listener ClipboardServerWayland::kRegistryListener{
    .global =
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
            auto* self = static_cast<ClipboardServerWayland*>(data);
            // Version 1 of each is all this server needs, and every compositor that has them has it.
            if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 && !self->m_manager)
                self->m_manager.reset(static_cast<zwlr_data_control_manager_v1*>(
                    wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1)));
            else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
                self->m_seat.reset(
                    static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1)));
        },
    .global_remove = [](void*, wl_registry*, std::uint32_t) {},
};

const zwlr_data_control_device_v1_listener ClipboardServerWayland::kDeviceListener{
    // The offer that the next selection event names.
    .data_offer = [](void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {},
    // Another client's selection (or our own, echoed): kept only until the next one replaces it.
    .selection =
        [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
            static_cast<ClipboardServerWayland*>(data)->m_selection.reset(offer);
        },
    .finished =
        [](void* data, zwlr_data_control_device_v1*) {
            static_cast<ClipboardServerWayland*>(data)->m_over = true;
        },
    // Not sent to a device of version 1.
    .primary_selection =
        [](void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
            if (offer)
                zwlr_data_control_offer_v1_destroy(offer);
        },
};

const zwlr_data_control_source_v1_listener ClipboardServerWayland::kSourceListener{
    .send =
        [](void* data, zwlr_data_control_source_v1*, const char* mimeType, int fd) {
            auto* self = static_cast<ClipboardServerWayland*>(data);
            Paste paste(fd);
            if (std::strcmp(mimeType, kPngType) == 0 &&
                fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) == 0)
                self->m_pastes.push_back(std::move(paste));
        },
    // Another client took the clipboard. A paste still being written ends here too: waiting for
    // it would let a reader that stopped reading keep this process for good.
    .cancelled =
        [](void* data, zwlr_data_control_source_v1*) {
            static_cast<ClipboardServerWayland*>(data)->m_over = true;
        },
};

ClipboardServerWayland::ClipboardServerWayland(const char* display) : m_connection(display)
{
    WaylandObject<wl_registry> registry(wl_display_get_registry(m_connection.display()));
    wl_registry_add_listener(registry.get(), &kRegistryListener, this);
    m_connection.roundtrip(kAnswerTimeout);
    if (!m_manager)
        throw Failure("the compositor offers no clipboard protocol (wlr-data-control)");
    if (!m_seat)
        throw Failure("the compositor has no seat to hold the clipboard");
    m_device.reset(zwlr_data_control_manager_v1_get_data_device(m_manager.get(), m_seat.get()));
    zwlr_data_control_device_v1_add_listener(m_device.get(), &kDeviceListener, this);
}

ClipboardServerWayland::~ClipboardServerWayland() = default;

void ClipboardServerWayland::take(const std::uint8_t* png, std::size_t size)
{
    m_png = png;
    m_size = size;
    m_source.reset(zwlr_data_control_manager_v1_create_data_source(m_manager.get()));
    zwlr_data_control_source_v1_add_listener(m_source.get(), &kSourceListener, this);
    zwlr_data_control_source_v1_offer(m_source.get(), kPngType);
    zwlr_data_control_device_v1_set_selection(m_device.get(), m_source.get());
    m_connection.roundtrip(kAnswerTimeout);
    if (m_over)
        throw Failure("the compositor did not keep the image on the clipboard");
}

void ClipboardServerWayland::serve()
{
    std::vector<pollfd> polled;
    try {
        while (!m_over) {
            polled.resize(1); // the compositor's place
            for (const Paste& paste : m_pastes)
                polled.push_back({paste.fd(), POLLOUT, 0});
            if (!m_connection.waitAndDispatch(polled, -1))
                break;
            writePastes(polled);
        }
    } catch (const Failure&) {
        // The compositor went away; the pastes under way still get the rest of the image.
    }
    finishPastes();
}

// Once the clipboard has passed on, pastes under way still get the rest of the image, but a
// reader that stopped reading does not keep the server for long.
void ClipboardServerWayland::finishPastes()
{
    const auto deadline = std::chrono::steady_clock::now() + kPasteGrace;
    std::vector<pollfd> polled;
    while (!m_pastes.empty()) {
        const int left = millisecondsUntil(deadline);
        if (left == 0)
            return;
        polled.assign(1, {-1, 0, 0}); // the place of the compositor's socket, which poll skips
        for (const Paste& paste : m_pastes)
            polled.push_back({paste.fd(), POLLOUT, 0});
        if (poll(polled.data(), polled.size(), left) < 0 && errno != EINTR)
            return;
        writePastes(polled);
    }
}

// polled[i + 1] is m_pastes[i], as it was when polled.
void ClipboardServerWayland::writePastes(const std::vector<pollfd>& polled)
{
    for (std::size_t i = polled.size() - 1; i > 0; --i) {
        if (polled[i].revents && !m_pastes[i - 1].writeSome(m_png, m_size))
            m_pastes.erase(m_pastes.begin() + std::ptrdiff_t(i - 1));
    }
}

ClipboardServerWayland::Paste& ClipboardServerWayland::Paste::operator=(Paste&& other) noexcept
{
    std::swap(m_fd, other.m_fd);
    m_sent = other.m_sent;
    return *this;
}

ClipboardServerWayland::Paste::~Paste()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool ClipboardServerWayland::Paste::writeSome(const std::uint8_t* png, std::size_t size)
{
    ssize_t n = write(m_fd, png + m_sent, size - m_sent);
    if (n < 0)
        return errno == EAGAIN || errno == EINTR; // a reader that closed its end ends its paste
    m_sent += std::size_t(n);
    return m_sent < size;
}
