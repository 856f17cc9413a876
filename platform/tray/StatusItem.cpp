#include "StatusItem.h"

#include "tray/StatusNotifierItem.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <chrono>
#include <utility>

namespace {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Often enough that an icon docked and a window closing for it look like one step.
constexpr std::chrono::milliseconds kTrayLookedFor{250};

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
    const bool hostRunning = bus.isConnected() && StatusNotifierItem::hostRunning(bus);
    if (bus.isConnected() && (onWayland() || hostRunning))
        new StatusNotifierItem(item, menu, hostRunning);
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

bool statusItemInTray(const QSystemTrayIcon& item)
{
    if (const auto* own = item.findChild<StatusNotifierItem*>())
        return own->inTray();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void whenStatusItemInTray(const QSystemTrayIcon& item, QObject& context, std::function<void()> shown)
{
    if (const auto* own = item.findChild<StatusNotifierItem*>()) {
        QObject::connect(own, &StatusNotifierItem::shownInTray, &context, std::move(shown),
                         Qt::SingleShotConnection);
        return;
    }
    auto* lookFor = new QTimer(&context);
    QObject::connect(lookFor, &QTimer::timeout, &context, [lookFor, shown = std::move(shown)] {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return;
        lookFor->stop();
        shown();
    });
    lookFor->start(kTrayLookedFor);
}
