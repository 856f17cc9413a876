#pragma once

#include <QKeyCombination>

#include <memory>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

// One key the server can grab: a keycode with the real modifiers that must be down.
struct KeyGrab {
    xcb_keycode_t keycode = 0;
    uint16_t modifiers = 0;
    friend bool operator==(const KeyGrab&, const KeyGrab&) = default;
};

// The server's keyboard as far as grabbing needs it: which keycodes give a key, and which real
// modifiers Alt, Super and Num Lock are on. Read from the server at construction and on reload().
class XcbKeyboard {
public:
    explicit XcbKeyboard(xcb_connection_t* connection);

    // After the server said that its keyboard mapping changed.
    void reload();

    // Every keycode and modifier set that gives the combination; none when this keyboard cannot type it.
    std::vector<KeyGrab> grabsFor(QKeyCombination combination) const;

    // The same, once for each state of the lock modifiers (none, Caps Lock, Num Lock, both), since the
    // server matches a grab's modifiers exactly.
    std::vector<KeyGrab> grabsWithLocksFor(QKeyCombination combination) const;

    // The Qt key of the character the keycode types without Shift; 0 when it types none.
    int unshiftedQtKey(xcb_keycode_t keycode) const;

private:
    uint16_t modifierHolding(xcb_keysym_t first, xcb_keysym_t second) const;

    xcb_connection_t* m_connection;
    std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> m_symbols;
    uint16_t m_alt = XCB_MOD_MASK_1;
    uint16_t m_super = XCB_MOD_MASK_4;
    uint16_t m_numLock = 0;
};
