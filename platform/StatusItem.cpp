#include "StatusItem.h"

#include "StatusNotifierItem.h"

#include <QCursor>
#include <QDBusConnection>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QtMessageHandler qtHandler = nullptr;

// Where Qt has no tray of its own it tries the X11 one, on any platform, and warns off X11 that the X11
// tray's signal is missing: noise beside the program's own line about the missing tray.
void withoutX11TrayWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("systemTrayWindowChanged")))
        return;
    if (qtHandler)
        qtHandler(type, context, message);
}

} // namespace

QIcon imageNamed(const QString& name)
{
    const QString path = QStringLiteral(":/images/%1.svg").arg(name);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

void setStatusItemMenu(QSystemTrayIcon& item, QMenu& menu)
{
    item.setContextMenu(&menu);
    // Qt shows the item on Wayland only when a tray ran as the item was made; for a tray that starts later
    // the item offers itself.
    if (onWayland() && !QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!qtHandler)
            qtHandler = qInstallMessageHandler(withoutX11TrayWarning);
        if (QDBusConnection::sessionBus().isConnected())
            new StatusNotifierItem(item, menu);
    }
    QObject::connect(
        &item, &QSystemTrayIcon::activated, &menu, [&menu](QSystemTrayIcon::ActivationReason reason) {
            // On Wayland the tray shows the menu itself: a menu of ours, with no window to hang from and no
            // pointer position, would open as a window of its own.
            if (onWayland())
                return;
            // A second click soon after the first arrives as a double click; it too opens the menu.
            const bool click = reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
            if (click && !menu.isVisible())
                menu.popup(QCursor::pos());
        });
}
