#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

// The status item as a StatusNotifierItem on the session bus, its menu over com.canonical.dbusmenu, for
// every tray that reads items from the bus: the menu opens on any click, and the title is the item's
// tooltip. Registers with the tray's watcher now and whenever one starts, and follows whether a host of
// the watcher's shows it. Entries are read from the menu when the tray asks; a click on one triggers its
// action. Both interfaces are typed adaptors, so QtDBus answers a call whose arguments have the wrong
// types with an error before any of it is read. Lives as a child of the status item.
class StatusNotifierItem final : public QObject {
    Q_OBJECT

public:
    // hostRunning: what hostRunning(bus) said as the item was decided on.
    StatusNotifierItem(QSystemTrayIcon& item, QMenu& menu, bool hostRunning);
    ~StatusNotifierItem() override;

    // The name that a tray's watcher owns on the session bus.
    static inline const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

    // A watcher alone draws nothing: a desktop's background service may keep one for a tray that only
    // docks X11 icons. Only a registered host shows the items it lists. Asks the watcher and waits.
    static bool hostRunning(const QDBusConnection& bus);

    // Whether a tray's host shows the item, as far as its watcher has said.
    bool inTray() const { return m_inTray; }

signals:
    // A tray's host shows the item now, where none did.
    void shownInTray();

private slots:
    // The watcher's signals, connected by name.
    void hostRegistered();
    void hostUnregistered();

private:
    void registerWithWatcher();
    // Whether the watcher has a host now; another may remain when one goes.
    void askWhetherInTray();
    void setInTray(bool inTray);

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    // The object at the menu's path, which carries the dbusmenu adaptor.
    QObject m_menuObject;
    bool m_inTray;
};
