#pragma once

#include <QIcon>

class QMenu;
class QSystemTrayIcon;

// The named image among the program's resources (":/images/NAME-SIZE.png", every size), or a null icon.
QIcon imageNamed(const QString& name);

// Shows the item with the menu for any click, whichever button: trays on Linux send a left click to the
// program, where people expect the same menu as from a right click. On Wayland, and on X11 where a tray
// that reads items from the session bus runs, the item is the program's own StatusNotifierItem, whose
// menu the tray shows; it registers with any such tray that starts later too. Elsewhere it is Qt's,
// which docks in an X11 tray when one starts.
void showStatusItem(QSystemTrayIcon& item, QMenu& menu);
