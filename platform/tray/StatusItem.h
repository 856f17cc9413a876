#pragma once

#include <QIcon>

#include <functional>

class QMenu;
class QObject;
class QSystemTrayIcon;

// The named image among the program's resources (":/images/NAME-SIZE.png", every size), or a null icon.
QIcon imageNamed(const QString& name);

// Shows the item with the menu for any click, whichever button: trays on Linux send a left click to the
// program, where people expect the same menu as from a right click. On Wayland, and on X11 where a tray
// that reads items from the session bus runs, the item is the program's own StatusNotifierItem, whose
// menu the tray shows; it registers with any such tray that starts later too. Elsewhere it is Qt's,
// which docks in an X11 tray when one starts.
void showStatusItem(QSystemTrayIcon& item, QMenu& menu);

// Whether a tray shows the item: a tray's host reads the program's own item, or an X11 tray runs for Qt's
// to dock in.
bool statusItemInTray(const QSystemTrayIcon& item);

// Calls shown once a tray that did not show the item shows it; nothing once context is gone. Qt's X11
// icon docks by itself and says nothing, so its tray is looked for every kTrayLookedFor meanwhile, a
// question Qt answers from the X server's tray selection.
void whenStatusItemInTray(const QSystemTrayIcon& item, QObject& context, std::function<void()> shown);
