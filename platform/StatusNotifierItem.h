#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QMenu>
#include <QPointer>

class QSystemTrayIcon;

// The status item as a StatusNotifierItem on the session bus, its menu over com.canonical.dbusmenu, for
// Wayland sessions whose tray starts after the program: Qt makes its own D-Bus item only when a tray
// runs as the status item is made, and on Wayland has no other way to show one. Registers with the
// tray's watcher whenever one starts. Entries are read from the menu when the tray asks; a click on
// one triggers its action. Lives as a child of the status item.
class StatusNotifierItem final : public QDBusVirtualObject {
    Q_OBJECT

public:
    StatusNotifierItem(QSystemTrayIcon& item, QMenu& menu);
    ~StatusNotifierItem() override;

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    void registerWithWatcher();
    QVariantMap itemProperties() const;
    QVariantMap menuProperties() const;
    bool handleProperties(const QDBusMessage& message, const QDBusConnection& connection);
    bool handleItem(const QDBusMessage& message);
    QDBusMessage handleMenu(const QDBusMessage& message);

    QSystemTrayIcon& m_item;
    QPointer<QMenu> m_menu;
    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
};
