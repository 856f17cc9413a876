#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>

class QMenu;
class QSystemTrayIcon;

// The status item as a StatusNotifierItem on the session bus, its menu over com.canonical.dbusmenu, for
// Wayland sessions whose tray starts after the program: Qt makes its own D-Bus item only when a tray
// runs as the status item is made, and on Wayland has no other way to show one. Registers with the
// tray's watcher whenever one starts. Entries are read from the menu when the tray asks; a click on
// one triggers its action. Both interfaces are typed adaptors, so QtDBus answers a call whose
// arguments have the wrong types with an error before any of it is read. Lives as a child of the
// status item.
class StatusNotifierItem final : public QObject {
    Q_OBJECT

public:
    StatusNotifierItem(QSystemTrayIcon& item, QMenu& menu);
    ~StatusNotifierItem() override;

private:
    void registerWithWatcher();

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    // The object at the menu's path, which carries the dbusmenu adaptor.
    QObject m_menuObject;
};
