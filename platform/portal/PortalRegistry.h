#pragma once

#include <QString>

class Log;

// Tells the desktop portal the application id of this process's session bus connection, whose desktop
// entry it then reads: GNOME binds global shortcuts only for a program it knows by its entry. The portal
// takes the id only before any other request of the connection, so this comes before all of them.
// Portals older than the registry know no ids for programs outside a sandbox, and go on without.
void registerWithDesktopPortal(const QString& appId, Log& log);
