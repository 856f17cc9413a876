#pragma once

#include <chrono>
#include <functional>

class QObject;
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

// Calls used once the person uses the window: a click or a key in it, a move once it is on the screen,
// or closing it. The program's own showing and hiding, as around a capture, is no use. Nothing once
// context is gone.
void whenUsed(QWidget& window, QObject& context, std::function<void()> used);

// Closes the window, also one off the screen for a capture: that one stays closed when the capture ends.
void closeWindow(QWidget& window);
// WindowsOutOfCaptures marks the windows it took off the screen, and shows back only those still marked.
void setOffScreenForCapture(QWidget& window, bool off);
bool offScreenForCapture(const QWidget& window);
