#pragma once

#include "tray/StatusNotifierTypes.h"

#include <QDBusAbstractAdaptor>
#include <QMenu>
#include <QPointer>
#include <QStringList>

// com.canonical.dbusmenu for the status item's menu, on the object it is made for: the menu's entries,
// numbered from 1 in its order, read when the tray asks; a click on one triggers its action.
class DBusMenuAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    DBusMenuAdaptor(QObject& object, QMenu& menu) : QDBusAbstractAdaptor(&object), m_menu(&menu) {}

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    // The menu never changes once built, so its revision stays 1.
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, MenuLayout& layout);
    QList<MenuEntry> GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    // An unknown property reads as an empty string: a variant must hold something.
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& event, const QDBusVariant& data, uint timestamp);
    // The ids of the events that name no entry.
    QList<int> EventGroup(const QList<MenuEvent>& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

signals:
    void LayoutUpdated(uint revision, int parent);

private:
    QList<int> entryIds() const;
    // A click triggers the entry's action; false when no entry has the id.
    bool handle(int id, const QString& event);

    QPointer<QMenu> m_menu;
};
