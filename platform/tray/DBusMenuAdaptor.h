#pragma once

#include "tray/StatusNotifierTypes.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QStringList>

// com.canonical.dbusmenu for the status item's menu, on the object it is made for: the menu's entries,
// numbered from 1 in its order, read when the tray asks; a click on one triggers its action. Any program
// on the bus may send events, and a tray sends one click for one click of a person's: a call triggers one
// action at most, a click on the entry clicked within the double-click interval is that click again, and
// a call that names an entry the menu lacks gets an error and triggers nothing.
class DBusMenuAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    // bus: where the object is served, for the replies that are errors.
    DBusMenuAdaptor(QObject& object, QMenu& menu, const QDBusConnection& bus)
        : QDBusAbstractAdaptor(&object), m_menu(&menu), m_bus(bus)
    {}

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
    // The message of the call itself comes last: QtDBus passes it for an error reply.
    void Event(int id, const QString& event, const QDBusVariant& data, uint timestamp,
               const QDBusMessage& call);
    // No event ever names an unknown entry in a call that is answered: the list is empty.
    QList<int> EventGroup(const QList<MenuEvent>& events, const QDBusMessage& call);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

signals:
    void LayoutUpdated(uint revision, int parent);

private:
    QList<int> entryIds() const;
    // The menu itself (0) or one of its entries.
    bool knows(int id) const;
    // Answers the call with an error naming the id.
    void refuse(const QDBusMessage& call, int id) const;
    // Triggers the entry's action, unless this is the previous click again.
    void click(int id);

    QPointer<QMenu> m_menu;
    QDBusConnection m_bus;
    int m_lastClickedId = 0;
    QElapsedTimer m_sinceLastClick;
};
