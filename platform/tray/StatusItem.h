#pragma once

#include <QIcon>

class QMenu;
class QSystemTrayIcon;

// The named image among the program's resources (":/images/NAME.svg"), or a null icon.
QIcon imageNamed(const QString& name);

// A click on the item opens the menu, whichever button: trays on Linux send a left click to the
// program, where people expect the same menu as from a right click. On Wayland the tray shows the menu
// from the item's D-Bus interface instead, and a tray that starts after the program still gets the item;
// there, with no tray yet, the item is shown here already.
void setStatusItemMenu(QSystemTrayIcon& item, QMenu& menu);
