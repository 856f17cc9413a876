#include "Keysyms.h"

#include <QChar>

#include <array>
#include <utility>
#include <xkbcommon/xkbcommon.h>

namespace {

// Keys that are not characters. Characters go through xkbcommon's Unicode table.
constexpr std::array<std::pair<int, xcb_keysym_t>, 47> namedKeys{{
    {Qt::Key_Escape, XKB_KEY_Escape},
    {Qt::Key_Tab, XKB_KEY_Tab},
    {Qt::Key_Backtab, XKB_KEY_ISO_Left_Tab},
    {Qt::Key_Backspace, XKB_KEY_BackSpace},
    {Qt::Key_Return, XKB_KEY_Return},
    {Qt::Key_Enter, XKB_KEY_KP_Enter},
    {Qt::Key_Insert, XKB_KEY_Insert},
    {Qt::Key_Delete, XKB_KEY_Delete},
    {Qt::Key_Pause, XKB_KEY_Pause},
    {Qt::Key_Print, XKB_KEY_Print},
    {Qt::Key_SysReq, XKB_KEY_Sys_Req},
    {Qt::Key_Clear, XKB_KEY_Clear},
    {Qt::Key_Home, XKB_KEY_Home},
    {Qt::Key_End, XKB_KEY_End},
    {Qt::Key_Left, XKB_KEY_Left},
    {Qt::Key_Up, XKB_KEY_Up},
    {Qt::Key_Right, XKB_KEY_Right},
    {Qt::Key_Down, XKB_KEY_Down},
    {Qt::Key_PageUp, XKB_KEY_Prior},
    {Qt::Key_PageDown, XKB_KEY_Next},
    {Qt::Key_CapsLock, XKB_KEY_Caps_Lock},
    {Qt::Key_NumLock, XKB_KEY_Num_Lock},
    {Qt::Key_ScrollLock, XKB_KEY_Scroll_Lock},
    {Qt::Key_Menu, XKB_KEY_Menu},
    {Qt::Key_Help, XKB_KEY_Help},
    {Qt::Key_Back, XKB_KEY_XF86Back},
    {Qt::Key_Forward, XKB_KEY_XF86Forward},
    {Qt::Key_Stop, XKB_KEY_XF86Stop},
    {Qt::Key_Refresh, XKB_KEY_XF86Refresh},
    {Qt::Key_VolumeDown, XKB_KEY_XF86AudioLowerVolume},
    {Qt::Key_VolumeMute, XKB_KEY_XF86AudioMute},
    {Qt::Key_VolumeUp, XKB_KEY_XF86AudioRaiseVolume},
    {Qt::Key_MediaPlay, XKB_KEY_XF86AudioPlay},
    {Qt::Key_MediaStop, XKB_KEY_XF86AudioStop},
    {Qt::Key_MediaPrevious, XKB_KEY_XF86AudioPrev},
    {Qt::Key_MediaNext, XKB_KEY_XF86AudioNext},
    {Qt::Key_MediaPause, XKB_KEY_XF86AudioPause},
    {Qt::Key_HomePage, XKB_KEY_XF86HomePage},
    {Qt::Key_Favorites, XKB_KEY_XF86Favorites},
    {Qt::Key_Search, XKB_KEY_XF86Search},
    {Qt::Key_LaunchMail, XKB_KEY_XF86Mail},
    {Qt::Key_Calculator, XKB_KEY_XF86Calculator},
    {Qt::Key_Explorer, XKB_KEY_XF86Explorer},
    {Qt::Key_Sleep, XKB_KEY_XF86Sleep},
    {Qt::Key_PowerOff, XKB_KEY_XF86PowerOff},
    {Qt::Key_WakeUp, XKB_KEY_XF86WakeUp},
    {Qt::Key_Eject, XKB_KEY_XF86Eject},
}};

} // namespace

xcb_keysym_t keysymForQtKey(int qtKey)
{
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35)
        return XKB_KEY_F1 + (qtKey - Qt::Key_F1);
    for (const auto& [key, keysym] : namedKeys) {
        if (key == qtKey)
            return keysym;
    }
    // Below the special keys Qt's key code is the character, upper case for letters; X names the
    // unshifted character.
    if (qtKey > 0 && qtKey < Qt::Key_Escape)
        return xkb_utf32_to_keysym(QChar::toLower(char32_t(qtKey)));
    return 0;
}

int qtKeyForCharacterKeysym(xcb_keysym_t keysym)
{
    const char32_t character = xkb_keysym_to_utf32(keysym);
    if (character < 0x20 || character == 0x7f || character >= char32_t(Qt::Key_Escape))
        return 0;
    return int(QChar::toUpper(character));
}
