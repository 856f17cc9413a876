#pragma once

#include <QByteArray>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QDBusArgument;

// The structures that org.kde.StatusNotifierItem and com.canonical.dbusmenu send, as QtDBus marshals them.

// a(iiay): one image of the icon, ARGB32 in network byte order.
struct IconImage {
    int width = 0;
    int height = 0;
    QByteArray pixels;
};
using IconImages = QList<IconImage>;

// (sa(iiay)ss): icon name, icon images, title, text.
struct ItemToolTip {
    QString iconName;
    IconImages images;
    QString title;
    QString text;
};

// (ia{sv}av): an entry, its properties and its children, each child a variant holding the same.
struct MenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<MenuLayout> children;
};

// (ia{sv}): an entry's id and properties.
struct MenuEntry {
    int id = 0;
    QVariantMap properties;
};

// (isvu): an event on an entry: its id, the event ("clicked", "hovered", ...), data and time.
struct MenuEvent {
    int id = 0;
    QString event;
    // Not empty: QtDBus learns the signature by writing a default event, and an empty variant has none.
    QDBusVariant data{0};
    uint timestamp = 0;
};

QDBusArgument& operator<<(QDBusArgument& argument, const IconImage& image);
const QDBusArgument& operator>>(const QDBusArgument& argument, IconImage& image);
QDBusArgument& operator<<(QDBusArgument& argument, const ItemToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, ItemToolTip& tip);
QDBusArgument& operator<<(QDBusArgument& argument, const MenuLayout& layout);
const QDBusArgument& operator>>(const QDBusArgument& argument, MenuLayout& layout);
QDBusArgument& operator<<(QDBusArgument& argument, const MenuEntry& entry);
const QDBusArgument& operator>>(const QDBusArgument& argument, MenuEntry& entry);
QDBusArgument& operator<<(QDBusArgument& argument, const MenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, MenuEvent& event);

// Before the adaptors are exported: QtDBus must know every type their properties and slots use.
void registerStatusNotifierTypes();

Q_DECLARE_METATYPE(IconImage)
Q_DECLARE_METATYPE(ItemToolTip)
Q_DECLARE_METATYPE(MenuLayout)
Q_DECLARE_METATYPE(MenuEntry)
Q_DECLARE_METATYPE(MenuEvent)
