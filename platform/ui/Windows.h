#pragma once

#include <chrono>

class QWidget;

// How long the desktop takes to draw again what a window that has just closed or hidden covered: long
// enough for the windows underneath, short enough to go unnoticed.
inline constexpr std::chrono::milliseconds kUnderneathRedrawn{150};

// The window's content reaches up into its title bar where the desktop allows it. The title bar of an
// X11 or Wayland window belongs to the window manager, so there the window only records the wish.
void setTitlebarAppearsTransparent(QWidget& window);
bool titlebarAppearsTransparent(const QWidget& window);

// Shows the window if it is hidden, puts it in front of the others and gives it the keyboard.
void makeKeyAndOrderFront(QWidget& window);

// The window stays out of the program's own screenshots: it leaves the screen while the capture tool
// runs (WindowsOutOfCaptures) and comes back after.
void keepOutOfCaptures(QWidget& window);
bool keptOutOfCaptures(const QWidget& window);
