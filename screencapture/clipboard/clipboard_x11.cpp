#include "clipboard/clipboard_x11.h"

#include "clipboard/clipboard_server.h"
#include "deadline.h"
#include "failure.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <poll.h>
#include <xcb/bigreq.h>

namespace {

constexpr std::size_t kLargestChunk = 1 << 20;

} // namespace

ClipboardServerX11::ClipboardServerX11()
{
    m_connection = connectToX11(nullptr, nullptr);
    xcb_connection_t* c = m_connection.get();
    if (xcb_connection_has_error(c)) {
        const char* name = std::getenv("DISPLAY");
        throw Failure(std::string("cannot open the X display '") + (name ? name : "") +
                      "' for the clipboard");
    }
    // xcb's own wait for the largest request is not bounded: asked for here, so it is answered
    // by the time it is read.
    xcb_prefetch_extension_data(c, &xcb_big_requests_id);
    syncWithServer(c);
    xcb_prefetch_maximum_request_length(c);
    syncWithServer(c);
    m_chunk = std::min(kLargestChunk, std::size_t(xcb_get_maximum_request_length(c)) * 4 - 64);

    static constexpr std::array kNames{
        "CLIPBOARD", "TARGETS",   "TIMESTAMP",         "MULTIPLE",     "ATOM_PAIR",
        "INCR",      "image/png", "CLIPBOARD_MANAGER", "SAVE_TARGETS", "SCREENCAPTURE_SAVED"};
    std::array<xcb_intern_atom_cookie_t, kNames.size()> cookies;
    for (std::size_t i = 0; i < kNames.size(); ++i)
        cookies[i] = xcb_intern_atom(c, 0, std::uint16_t(std::strlen(kNames[i])), kNames[i]);
    std::array<xcb_atom_t*, kNames.size()> atoms{&m_clipboard,   &m_targets,  &m_timestamp, &m_multiple,
                                                 &m_atomPair,    &m_incr,     &m_pngType,   &m_manager,
                                                 &m_saveTargets, &m_saveReply};
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        auto reply = waitForReply<xcb_intern_atom_reply_t>(c, cookies[i]);
        if (!reply)
            throw Failure("lost the connection to the X server");
        *atoms[i] = reply->atom;
    }

    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    m_window = xcb_generate_id(c);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
}

void ClipboardServerX11::take(const std::uint8_t* png, std::size_t size)
{
    m_png = png;
    m_size = size;
    xcb_connection_t* c = m_connection.get();
    m_ownedSince = serverTime();
    xcb_set_selection_owner(c, m_window, m_clipboard, m_ownedSince);
    auto owner = waitForReply<xcb_get_selection_owner_reply_t>(c, xcb_get_selection_owner(c, m_clipboard));
    if (!owner || owner->owner != m_window)
        throw Failure("another program holds on to the clipboard");
    askManagerToSave();
}

// The conventions ask for a real server time, not CurrentTime, when taking a selection; a
// property change on our own window reports one.
xcb_timestamp_t ClipboardServerX11::serverTime()
{
    xcb_connection_t* c = m_connection.get();
    xcb_change_property(c, XCB_PROP_MODE_APPEND, m_window, m_saveReply, XCB_ATOM_STRING, 8, 0, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + kX11AnswerWait;
    while (Reply<xcb_generic_event_t> event = waitForEvent(c, deadline)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY)
            return reinterpret_cast<xcb_property_notify_event_t*>(event.get())->time;
    }
    throw Failure("lost the connection to the X server");
}

// A running clipboard manager keeps a copy when asked, and so this process need not linger.
void ClipboardServerX11::askManagerToSave()
{
    xcb_connection_t* c = m_connection.get();
    auto manager = waitForReply<xcb_get_selection_owner_reply_t>(c, xcb_get_selection_owner(c, m_manager));
    if (manager && manager->owner != XCB_NONE)
        xcb_convert_selection(c, m_window, m_manager, m_saveTargets, m_saveReply, m_ownedSince);
    xcb_flush(c);
}

void ClipboardServerX11::serve()
{
    xcb_connection_t* c = m_connection.get();
    // Once the clipboard has passed on, pastes under way still get the rest of the image, but a
    // requestor that stopped reading does not keep the server for long.
    std::optional<std::chrono::steady_clock::time_point> passedOn;
    for (;;) {
        xcb_flush(c);
        if (passedOn && m_transfers.empty()) {
            // A round trip, so that the server has handled the last chunk before we disconnect: it
            // may drop the requests of a client that has gone.
            try {
                syncWithServer(c);
            } catch (const Failure&) {
                // Gone or frozen: the last chunk is lost either way.
            }
            return;
        }
        Reply<xcb_generic_event_t> event{xcb_poll_for_event(c)};
        if (!event) {
            if (xcb_connection_has_error(c))
                return;
            int timeout = -1;
            if (passedOn) {
                timeout = millisecondsUntil(*passedOn + kPasteGrace);
                if (timeout == 0)
                    return;
            }
            pollfd readable{xcb_get_file_descriptor(c), POLLIN, 0};
            poll(&readable, 1, timeout);
            continue;
        }
        switch (event->response_type & 0x7f) {
        case XCB_SELECTION_REQUEST:
            answer(*reinterpret_cast<xcb_selection_request_event_t*>(event.get()), !passedOn);
            break;
        case XCB_SELECTION_CLEAR:
            if (reinterpret_cast<xcb_selection_clear_event_t*>(event.get())->selection == m_clipboard)
                passedOn = std::chrono::steady_clock::now();
            break;
        case XCB_SELECTION_NOTIFY: {
            // The manager's answer to SAVE_TARGETS: with a property it has the image now.
            auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event.get());
            if (notify->selection == m_manager && notify->property != XCB_NONE && !passedOn)
                passedOn = std::chrono::steady_clock::now();
            break;
        }
        case XCB_PROPERTY_NOTIFY:
            continueTransfer(*reinterpret_cast<xcb_property_notify_event_t*>(event.get()));
            break;
        }
    }
}

void ClipboardServerX11::answer(const xcb_selection_request_event_t& request, bool owned)
{
    // Clients from before the conventions name no property and expect the target's name.
    xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    bool ok = owned && request.selection == m_clipboard &&
              // Server time wraps after about 49 days: compare by the signed difference.
              (request.time == XCB_CURRENT_TIME || std::int32_t(request.time - m_ownedSince) >= 0) &&
              (request.target == m_multiple ? convertMultiple(request.requestor, property)
                                            : convert(request.target, request.requestor, property));

    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = ok ? property : XCB_NONE;
    xcb_send_event(m_connection.get(), 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
}

bool ClipboardServerX11::convert(xcb_atom_t target, xcb_window_t requestor, xcb_atom_t property)
{
    xcb_connection_t* c = m_connection.get();
    if (target == m_targets) {
        const xcb_atom_t targets[] = {m_targets, m_timestamp, m_multiple, m_pngType};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                            std::size(targets), targets);
    } else if (target == m_timestamp) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1,
                            &m_ownedSince);
    } else if (target == m_pngType && m_size <= m_chunk) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, m_pngType, 8,
                            std::uint32_t(m_size), m_png);
    } else if (target == m_pngType) {
        // Too large for one request: announce the size, then send a chunk each time the
        // requestor deletes the property, ending with an empty one.
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c, requestor, XCB_CW_EVENT_MASK, &events);
        const std::uint32_t size = std::uint32_t(m_size);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, m_incr, 32, 1, &size);
        m_transfers.push_back({requestor, property, 0});
    } else {
        return false;
    }
    return true;
}

bool ClipboardServerX11::convertMultiple(xcb_window_t requestor, xcb_atom_t property)
{
    xcb_connection_t* c = m_connection.get();
    auto pairs = waitForReply<xcb_get_property_reply_t>(
        c, xcb_get_property(c, 0, requestor, property, m_atomPair, 0, 0x10000));
    if (!pairs || pairs->format != 32)
        return false;
    auto* atoms = static_cast<xcb_atom_t*>(xcb_get_property_value(pairs.get()));
    const int count = xcb_get_property_value_length(pairs.get()) / 4;
    for (int i = 0; i + 1 < count; i += 2) {
        if (!convert(atoms[i], requestor, atoms[i + 1]))
            atoms[i + 1] = XCB_NONE; // tells the requestor which conversions failed
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, m_atomPair, 32, std::uint32_t(count),
                        atoms);
    return true;
}

void ClipboardServerX11::continueTransfer(const xcb_property_notify_event_t& event)
{
    if (event.state != XCB_PROPERTY_DELETE)
        return;
    auto transfer = std::find_if(m_transfers.begin(), m_transfers.end(), [&](const Transfer& t) {
        return t.requestor == event.window && t.property == event.atom;
    });
    if (transfer == m_transfers.end())
        return;
    xcb_connection_t* c = m_connection.get();
    std::size_t size = std::min(m_chunk, m_size - transfer->sent);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, transfer->requestor, transfer->property, m_pngType, 8,
                        std::uint32_t(size), m_png + transfer->sent);
    transfer->sent += size;
    if (size == 0) {
        const std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(c, transfer->requestor, XCB_CW_EVENT_MASK, &none);
        m_transfers.erase(transfer);
    }
}
