#pragma once

#include "tray/StatusNotifierTypes.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QSystemTrayIcon>

// org.kde.StatusNotifierItem for the status item, on the object it is made for: the item's icon, tooltip
// and visibility as the tray reads them, and the tray's clicks as the item's own activations. QtDBus
// serves the properties and calls a slot only when the call's signature is the slot's.
class StatusNotifierItemAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ noName)
    Q_PROPERTY(IconImages IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ noName)
    Q_PROPERTY(IconImages OverlayIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionIconName READ noName)
    Q_PROPERTY(IconImages AttentionIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionMovieName READ noName)
    Q_PROPERTY(ItemToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    // menuPath: where the item's menu is served.
    StatusNotifierItemAdaptor(QObject& object, QSystemTrayIcon& item, const QString& menuPath)
        : QDBusAbstractAdaptor(&object), m_item(item), m_menuPath(menuPath)
    {}

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QCoreApplication::applicationName(); }
    QString title() const { return m_item.toolTip().isEmpty() ? id() : m_item.toolTip(); }
    // The item is made to be seen.
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString noName() const { return {}; }
    IconImages iconPixmap() const;
    IconImages noImages() const { return {}; }
    ItemToolTip toolTip() const { return {QString(), {}, m_item.toolTip(), QString()}; }
    // Every click opens the menu, and the tray shows it: a Wayland client cannot place one there.
    bool itemIsMenu() const { return true; }
    QDBusObjectPath menu() const { return QDBusObjectPath(m_menuPath); }

public slots:
    // The names of the arguments are the interface's, as introspection shows them.
    void Activate(int x, int y);
    void ContextMenu(int x, int y);
    void SecondaryActivate(int x, int y);
    void Scroll(int delta, const QString& orientation);

private:
    QSystemTrayIcon& m_item;
    QString m_menuPath;
};
