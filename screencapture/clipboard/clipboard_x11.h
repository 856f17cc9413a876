#pragma once

#include "x11_connection.h"

#include <cstddef>
#include <cstdint>
#include <vector>
#include <xcb/xcb.h>

// Owns the X CLIPBOARD selection and answers requests for the image (image/png), following
// the inter-client conventions: TARGETS, TIMESTAMP, MULTIPLE, and INCR for large images.
class ClipboardServerX11 {
public:
    // Connects and prepares; throws a Failure when the display cannot be reached.
    ClipboardServerX11();
    // Takes the clipboard for the image; throws a Failure when it cannot.
    void take(const std::uint8_t* png, std::size_t size);

    // Serves until another client owns the clipboard, a clipboard manager has saved the image,
    // or the display goes away; then finishes the pastes under way, for a few seconds at most.
    void serve();

private:
    struct Transfer { // an INCR transfer in progress
        xcb_window_t requestor;
        xcb_atom_t property;
        std::size_t sent;
    };

    xcb_timestamp_t serverTime();
    void askManagerToSave();
    // `owned`: whether the clipboard is still ours; requests that come after are refused.
    void answer(const xcb_selection_request_event_t& request, bool owned);
    bool convert(xcb_atom_t target, xcb_window_t requestor, xcb_atom_t property);
    bool convertMultiple(xcb_window_t requestor, xcb_atom_t property);
    void continueTransfer(const xcb_property_notify_event_t& event);

    const std::uint8_t* m_png = nullptr;
    std::size_t m_size = 0;
    std::size_t m_chunk; // the most bytes one property change carries
    XcbConnection m_connection;
    xcb_window_t m_window = 0;
    xcb_timestamp_t m_ownedSince = 0;
    std::vector<Transfer> m_transfers;

    xcb_atom_t m_clipboard, m_targets, m_timestamp, m_multiple, m_atomPair, m_incr, m_pngType, m_manager,
        m_saveTargets, m_saveReply;
};
