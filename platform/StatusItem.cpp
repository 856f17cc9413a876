#include "StatusItem.h"

#include <QCursor>
#include <QFile>
#include <QMenu>
#include <QSystemTrayIcon>

QIcon imageNamed(const QString& name)
{
    const QString path = QStringLiteral(":/images/%1.svg").arg(name);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

void setStatusItemMenu(QSystemTrayIcon& item, QMenu& menu)
{
    item.setContextMenu(&menu);
    QObject::connect(
        &item, &QSystemTrayIcon::activated, &menu, [&menu](QSystemTrayIcon::ActivationReason reason) {
            // A second click soon after the first arrives as a double click; it too opens the menu.
            const bool click = reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
            if (click && !menu.isVisible())
                menu.popup(QCursor::pos());
        });
}
