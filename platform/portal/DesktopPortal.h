#pragma once

#include <QString>

// The desktop portal on the session bus: its service, the one object that serves its interfaces, and
// the interfaces the program talks to.
namespace desktopPortal {

inline const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString fileChooserInterface = QStringLiteral("org.freedesktop.portal.FileChooser");
inline const QString globalShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
inline const QString registryInterface = QStringLiteral("org.freedesktop.host.portal.Registry");
inline const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
inline const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
inline const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");

} // namespace desktopPortal
