#pragma once

class QWidget;

// The window's content reaches up into its title bar where the desktop allows it. The title bar of an
// X11 or Wayland window belongs to the window manager, so there the window only records the wish.
void setTitlebarAppearsTransparent(QWidget& window);
bool titlebarAppearsTransparent(const QWidget& window);

// Shows the window if it is hidden, puts it in front of the others and gives it the keyboard.
void makeKeyAndOrderFront(QWidget& window);
