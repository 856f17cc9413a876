#pragma once

// The Wayland display of the desktop this process runs on, or nullptr when it is an X11 one. A
// session that says it is X11 (XDG_SESSION_TYPE) is one, whatever Wayland display a program
// started in it may have been handed: the tray program decides so too.
const char* waylandDisplay();
