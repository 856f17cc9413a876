#include "StatusItem.h"

#include "tray/StatusNotifierItem.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// A watcher alone draws nothing: a desktop's background service may keep one for a tray that only
// docks X11 icons. Only a registered host shows the items it lists.
bool trayHostRunning(const QDBusConnection& bus)
{
    const QDBusConnectionInterface* daemon = bus.interface();
    if (!daemon || !daemon->isServiceRegistered(StatusNotifierItem::watcherService))
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        StatusNotifierItem::watcherService, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << StatusNotifierItem::watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}

} // namespace

QIcon imageNamed(const QString& name)
{
    // One bitmap a size, rendered at build time: each size drawn for it, none scaled from another.
    QIcon icon;
    const QDir images(QStringLiteral(":/images"));
    for (const QString& file : images.entryList({name + QStringLiteral("-*.png")}, QDir::Files))
        icon.addFile(images.filePath(file));
    return icon;
}

void showStatusItem(QSystemTrayIcon& item, QMenu& menu)
{
    item.setContextMenu(&menu);
    // Qt's own item on the session bus says that a left click is not for the menu, and a Wayland program
    // cannot open one where the tray is: the program's own item serves every tray that reads items from
    // the bus. Qt's item stays hidden, for shown it would be a second icon.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && (onWayland() || trayHostRunning(bus)))
        new StatusNotifierItem(item, menu);
    else
        item.show();
    QObject::connect(&item, &QSystemTrayIcon::activated, &menu,
                     [&menu](QSystemTrayIcon::ActivationReason reason) {
                         // On Wayland the tray shows the menu itself: a menu of ours, with no window to hang
                         // from and no pointer position, would open as a window of its own.
                         if (onWayland() || reason == QSystemTrayIcon::MiddleClick || menu.isVisible())
                             return;
                         // Any other click opens it: a second one soon after the first arrives as a double
                         // click, and Qt's X11 item has shown it already on a right click.
                         menu.popup(QCursor::pos());
                     });
}
