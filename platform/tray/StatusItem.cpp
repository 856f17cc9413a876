#include "StatusItem.h"

#include "tray/StatusNotifierItem.h"

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

QtMessageHandler previousHandler = nullptr;

void withoutX11TrayWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (previousHandler && !message.contains(QLatin1String("systemTrayWindowChanged")))
        previousHandler(type, context, message);
}

// Where Qt has no tray of its own it falls back to the X11 one, on any platform: the first show() watches
// for an X11 tray and, off X11, warns that the X11 tray's signal is missing. Noise beside the program's
// own line about the missing tray, so dropped while the item is first shown, and only then.
void showWithoutX11TrayWarning(QSystemTrayIcon& item)
{
    previousHandler = qInstallMessageHandler(withoutX11TrayWarning);
    item.show();
    qInstallMessageHandler(previousHandler);
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
        showWithoutX11TrayWarning(item);
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
