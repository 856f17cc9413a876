#include "XcbKeyboard.h"

#include "shortcuts/Keysyms.h"

#include <algorithm>
#include <cstdlib>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace {

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

} // namespace

XcbKeyboard::XcbKeyboard(xcb_connection_t* connection)
    : m_connection(connection), m_symbols(nullptr, &xcb_key_symbols_free)
{
    reload();
}

void XcbKeyboard::reload()
{
    m_symbols.reset(xcb_key_symbols_alloc(m_connection));
    // Alt and Super are usually Mod1 and Mod4, and Num Lock is usually Mod2, but the modifier map says.
    m_numLock = modifierHolding(XKB_KEY_Num_Lock, XKB_KEY_Num_Lock);
    if (const uint16_t alt = modifierHolding(XKB_KEY_Alt_L, XKB_KEY_Alt_R))
        m_alt = alt;
    if (const uint16_t super = modifierHolding(XKB_KEY_Super_L, XKB_KEY_Super_R))
        m_super = super;
}

uint16_t XcbKeyboard::modifierHolding(xcb_keysym_t first, xcb_keysym_t second) const
{
    XcbReply<xcb_get_modifier_mapping_reply_t> map(
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr),
        &std::free);
    if (!map)
        return 0;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(map.get());
    const int perModifier = map->keycodes_per_modifier;
    // Shift, Lock and Control are fixed; only Mod1 to Mod5 can move.
    for (int modifier = 3; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t keycode = keycodes[modifier * perModifier + i];
            if (keycode == 0)
                continue;
            const xcb_keysym_t keysym = xcb_key_symbols_get_keysym(m_symbols.get(), keycode, 0);
            if (keysym == first || keysym == second)
                return uint16_t(1U << modifier);
        }
    }
    return 0;
}

std::vector<KeyGrab> XcbKeyboard::grabsFor(QKeyCombination combination) const
{
    const xcb_keysym_t keysym = keysymForQtKey(combination.key());
    if (keysym == 0)
        return {};
    uint16_t modifiers = 0;
    const Qt::KeyboardModifiers qtModifiers = combination.keyboardModifiers();
    if (qtModifiers & Qt::ShiftModifier)
        modifiers |= XCB_MOD_MASK_SHIFT;
    if (qtModifiers & Qt::ControlModifier)
        modifiers |= XCB_MOD_MASK_CONTROL;
    if (qtModifiers & Qt::AltModifier)
        modifiers |= m_alt;
    if (qtModifiers & Qt::MetaModifier)
        modifiers |= m_super;

    std::vector<KeyGrab> grabs;
    XcbReply<xcb_keycode_t> keycodes(xcb_key_symbols_get_keycode(m_symbols.get(), keysym), &std::free);
    for (const xcb_keycode_t* keycode = keycodes.get(); keycode && *keycode != XCB_NO_SYMBOL; ++keycode) {
        KeyGrab grab{*keycode, modifiers};
        // A character on the shifted level of its key ("#" over "3") needs Shift even when the
        // combination does not name it.
        if (xcb_key_symbols_get_keysym(m_symbols.get(), *keycode, 0) != keysym &&
            xcb_key_symbols_get_keysym(m_symbols.get(), *keycode, 1) == keysym)
            grab.modifiers |= XCB_MOD_MASK_SHIFT;
        if (std::find(grabs.begin(), grabs.end(), grab) == grabs.end())
            grabs.push_back(grab);
    }
    return grabs;
}

std::vector<KeyGrab> XcbKeyboard::grabsWithLocksFor(QKeyCombination combination) const
{
    std::vector<uint16_t> locks{0, XCB_MOD_MASK_LOCK};
    if (m_numLock) {
        locks.push_back(m_numLock);
        locks.push_back(m_numLock | XCB_MOD_MASK_LOCK);
    }
    std::vector<KeyGrab> grabs;
    for (const KeyGrab& grab : grabsFor(combination)) {
        for (const uint16_t lock : locks)
            grabs.push_back({grab.keycode, uint16_t(grab.modifiers | lock)});
    }
    return grabs;
}

int XcbKeyboard::unshiftedQtKey(xcb_keycode_t keycode) const
{
    return qtKeyForCharacterKeysym(xcb_key_symbols_get_keysym(m_symbols.get(), keycode, 0));
}
