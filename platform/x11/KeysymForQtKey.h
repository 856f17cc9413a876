#pragma once

#include <QtGlobal>

#include <xcb/xcb.h>

// The X keysym that a key of Qt's key enumeration stands for; 0 when X has none.
xcb_keysym_t keysymForQtKey(int qtKey);
