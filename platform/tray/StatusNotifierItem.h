#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

// The status item as a StatusNotifierItem on the session bus, its menu over com.canonical.dbusmenu, for
// every tray that reads items from the bus: the menu opens on any click, and the title is the item's
// tooltip. Registers with the tray's watcher now and whenever one starts. Entries are read from the menu
// when the tray asks; a click on one triggers its action. Both interfaces are typed adaptors, so QtDBus
// answers a call whose arguments have the wrong types with an error before any of it is read. Lives as
// a child of the status item.
class StatusNotifierItem final : public QObject {
    Q_OBJECT

public:
    StatusNotifierItem(QSystemTrayIcon& item, QMenu& menu);
    ~StatusNotifierItem() override;

    // The name that a tray's watcher owns on the session bus.
    static inline const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

private:
    void registerWithWatcher();

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    // The object at the menu's path, which carries the dbusmenu adaptor.
    QObject m_menuObject;
};
