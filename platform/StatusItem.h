#pragma once

#include <QIcon>

class QMenu;
class QSystemTrayIcon;

// The named image among the program's resources (":/images/NAME.svg"), or a null icon.
QIcon imageNamed(const QString& name);

// A click on the item opens the menu, whichever button: trays on Linux send a left click to the
// program, where people expect the same menu as from a right click.
void setStatusItemMenu(QSystemTrayIcon& item, QMenu& menu);
