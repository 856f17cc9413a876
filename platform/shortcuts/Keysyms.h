#pragma once

#include <QtGlobal>

#include <xcb/xcb.h>

// The X keysym that a key of Qt's key enumeration stands for; 0 when X has none.
xcb_keysym_t keysymForQtKey(int qtKey);
// The other way, for keysyms that type a character; 0 for the others.
int qtKeyForCharacterKeysym(xcb_keysym_t keysym);
