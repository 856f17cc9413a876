#pragma once

#include <QKeyCombination>
#include <QString>

// A combination in the form desktops exchange shortcuts in: the modifiers CTRL, ALT, SHIFT and LOGO
// and the key's xkb keysym name, joined by '+' ("CTRL+SHIFT+3", "LOGO+Print"). Empty when the key has
// no keysym.
QString xdgShortcutTrigger(QKeyCombination combination);
