#include "StatusNotifierItem.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QImage>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QtEndian>

namespace {

const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuPath = QStringLiteral("/MenuBar");
const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

// a(iiay): one image of the icon, ARGB32 in network byte order.
struct IconImage {
    int width = 0;
    int height = 0;
    QByteArray pixels;
};
using IconImages = QList<IconImage>;

// (sa(iiay)ss): icon name, icon images, title, text.
struct ToolTip {
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

QDBusArgument& operator<<(QDBusArgument& argument, const IconImage& image)
{
    argument.beginStructure();
    argument << image.width << image.height << image.pixels;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, IconImage& image)
{
    argument.beginStructure();
    argument >> image.width >> image.height >> image.pixels;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const ToolTip& tip)
{
    argument.beginStructure();
    argument << tip.iconName << tip.images << tip.title << tip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ToolTip& tip)
{
    argument.beginStructure();
    argument >> tip.iconName >> tip.images >> tip.title >> tip.text;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const MenuLayout& layout)
{
    argument.beginStructure();
    argument << layout.id << layout.properties;
    argument.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const MenuLayout& child : layout.children)
        argument << QDBusVariant(QVariant::fromValue(child));
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, MenuLayout& layout)
{
    argument.beginStructure();
    argument >> layout.id >> layout.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        layout.children.append(qdbus_cast<MenuLayout>(child.variant()));
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const MenuEntry& entry)
{
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, MenuEntry& entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

IconImages imagesOf(const QIcon& icon)
{
    IconImages images;
    // The sizes panels draw most; the tray scales the nearest.
    for (const int side : {16, 22, 32, 48}) {
        QImage image = icon.pixmap(side).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        IconImage out{image.width(), image.height(), {}};
        out.pixels.resize(qsizetype(image.width()) * image.height() * 4);
        auto* pixel = reinterpret_cast<quint32*>(out.pixels.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *pixel++ = qToBigEndian(row[x]);
        }
        images.append(out);
    }
    return images;
}

// Entries are numbered from 1 in the menu's order; 0 is the menu itself.
QAction* actionWithId(const QMenu* menu, int id)
{
    const QList<QAction*> actions = menu ? menu->actions() : QList<QAction*>();
    return id >= 1 && id <= actions.size() ? actions.at(id - 1) : nullptr;
}

QVariantMap entryProperties(const QAction& action)
{
    if (action.isSeparator())
        return {{QStringLiteral("type"), QStringLiteral("separator")},
                {QStringLiteral("visible"), action.isVisible()}};
    return {{QStringLiteral("label"), action.text()},
            {QStringLiteral("enabled"), action.isEnabled()},
            {QStringLiteral("visible"), action.isVisible()}};
}

QVariantMap rootProperties()
{
    return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
}

// The properties named, or all of them when none is named.
QVariantMap only(const QVariantMap& properties, const QStringList& names)
{
    if (names.isEmpty())
        return properties;
    QVariantMap chosen;
    for (const QString& name : names) {
        if (properties.contains(name))
            chosen.insert(name, properties.value(name));
    }
    return chosen;
}

QVariantMap propertiesOf(const QMenu* menu, int id)
{
    if (id == 0)
        return rootProperties();
    const QAction* action = actionWithId(menu, id);
    return action ? entryProperties(*action) : QVariantMap();
}

} // namespace

Q_DECLARE_METATYPE(IconImage)
Q_DECLARE_METATYPE(ToolTip)
Q_DECLARE_METATYPE(MenuLayout)
Q_DECLARE_METATYPE(MenuEntry)

StatusNotifierItem::StatusNotifierItem(QSystemTrayIcon& item, QMenu& menu)
    : QDBusVirtualObject(&item), m_item(item), m_menu(&menu), m_bus(QDBusConnection::sessionBus()),
      m_watcher(watcherService, m_bus, QDBusServiceWatcher::WatchForRegistration)
{
    qDBusRegisterMetaType<IconImage>();
    qDBusRegisterMetaType<IconImages>();
    qDBusRegisterMetaType<ToolTip>();
    qDBusRegisterMetaType<MenuLayout>();
    qDBusRegisterMetaType<MenuEntry>();
    qDBusRegisterMetaType<QList<MenuEntry>>();
    m_bus.registerVirtualObject(itemPath, this);
    m_bus.registerVirtualObject(menuPath, this);
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this,
            &StatusNotifierItem::registerWithWatcher);
    // A tray that started since Qt looked for one is there already; with none, the call goes nowhere.
    registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem()
{
    m_bus.unregisterObject(itemPath);
    m_bus.unregisterObject(menuPath);
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(watcherService, QStringLiteral("/StatusNotifierWatcher"),
                                       watcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << m_bus.baseService();
    m_bus.send(call);
}

QVariantMap StatusNotifierItem::itemProperties() const
{
    const QString name = QCoreApplication::applicationName();
    const IconImages images = imagesOf(m_item.icon());
    return {
        {QStringLiteral("Category"), QStringLiteral("ApplicationStatus")},
        {QStringLiteral("Id"), name},
        {QStringLiteral("Title"), m_item.toolTip().isEmpty() ? name : m_item.toolTip()},
        {QStringLiteral("Status"), m_item.isVisible() ? QStringLiteral("Active") : QStringLiteral("Passive")},
        {QStringLiteral("WindowId"), 0},
        {QStringLiteral("IconName"), QString()},
        {QStringLiteral("IconPixmap"), QVariant::fromValue(images)},
        {QStringLiteral("OverlayIconName"), QString()},
        {QStringLiteral("OverlayIconPixmap"), QVariant::fromValue(IconImages())},
        {QStringLiteral("AttentionIconName"), QString()},
        {QStringLiteral("AttentionIconPixmap"), QVariant::fromValue(IconImages())},
        {QStringLiteral("AttentionMovieName"), QString()},
        {QStringLiteral("ToolTip"), QVariant::fromValue(ToolTip{QString(), {}, m_item.toolTip(), QString()})},
        // Every click opens the menu: the tray shows it, since a Wayland client cannot place one there.
        {QStringLiteral("ItemIsMenu"), true},
        {QStringLiteral("Menu"), QVariant::fromValue(QDBusObjectPath(menuPath))},
    };
}

QVariantMap StatusNotifierItem::menuProperties() const
{
    return {{QStringLiteral("Version"), 3u},
            {QStringLiteral("TextDirection"), QStringLiteral("ltr")},
            {QStringLiteral("Status"), QStringLiteral("normal")},
            {QStringLiteral("IconThemePath"), QStringList()}};
}

QString StatusNotifierItem::introspect(const QString& path) const
{
    if (path == itemPath) {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierItem\">"
            "<method name=\"ContextMenu\"><arg name=\"x\" type=\"i\"/><arg name=\"y\" type=\"i\"/></method>"
            "<method name=\"Activate\"><arg name=\"x\" type=\"i\"/><arg name=\"y\" type=\"i\"/></method>"
            "<method name=\"SecondaryActivate\"><arg name=\"x\" type=\"i\"/><arg name=\"y\" "
            "type=\"i\"/></method>"
            "<method name=\"Scroll\"><arg name=\"delta\" type=\"i\"/><arg name=\"orientation\" "
            "type=\"s\"/></method>"
            "</interface>");
    }
    return QStringLiteral(
        "<interface name=\"com.canonical.dbusmenu\">"
        "<method name=\"GetLayout\"><arg type=\"i\" direction=\"in\"/><arg type=\"i\" direction=\"in\"/>"
        "<arg type=\"as\" direction=\"in\"/><arg type=\"u\" direction=\"out\"/>"
        "<arg type=\"(ia{sv}av)\" direction=\"out\"/></method>"
        "<method name=\"GetGroupProperties\"><arg type=\"ai\" direction=\"in\"/><arg type=\"as\" "
        "direction=\"in\"/>"
        "<arg type=\"a(ia{sv})\" direction=\"out\"/></method>"
        "<method name=\"GetProperty\"><arg type=\"i\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
        "<arg type=\"v\" direction=\"out\"/></method>"
        "<method name=\"Event\"><arg type=\"i\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
        "<arg type=\"v\" direction=\"in\"/><arg type=\"u\" direction=\"in\"/></method>"
        "<method name=\"EventGroup\"><arg type=\"a(isvu)\" direction=\"in\"/><arg type=\"ai\" "
        "direction=\"out\"/>"
        "</method>"
        "<method name=\"AboutToShow\"><arg type=\"i\" direction=\"in\"/><arg type=\"b\" "
        "direction=\"out\"/></method>"
        "<method name=\"AboutToShowGroup\"><arg type=\"ai\" direction=\"in\"/><arg type=\"ai\" "
        "direction=\"out\"/>"
        "<arg type=\"ai\" direction=\"out\"/></method>"
        "<signal name=\"LayoutUpdated\"><arg type=\"u\"/><arg type=\"i\"/></signal>"
        "</interface>");
}

bool StatusNotifierItem::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    if (message.interface() == propertiesInterface)
        return handleProperties(message, connection);
    if (message.path() == itemPath && message.interface() == itemInterface && handleItem(message)) {
        connection.send(message.createReply());
        return true;
    }
    if (message.path() == menuPath && message.interface() == menuInterface) {
        const QDBusMessage reply = handleMenu(message);
        if (reply.type() == QDBusMessage::InvalidMessage)
            return false;
        connection.send(reply);
        return true;
    }
    return false;
}

bool StatusNotifierItem::handleProperties(const QDBusMessage& message, const QDBusConnection& connection)
{
    const QString interface = message.arguments().value(0).toString();
    QVariantMap properties;
    if (message.path() == itemPath && interface == itemInterface)
        properties = itemProperties();
    else if (message.path() == menuPath && interface == menuInterface)
        properties = menuProperties();
    else
        return false;
    if (message.member() == QLatin1String("GetAll")) {
        connection.send(message.createReply(properties));
        return true;
    }
    if (message.member() == QLatin1String("Get")) {
        const QString name = message.arguments().value(1).toString();
        connection.send(properties.contains(name)
                            ? message.createReply(QVariant::fromValue(QDBusVariant(properties.value(name))))
                            : message.createErrorReply(QDBusError::UnknownProperty, name));
        return true;
    }
    return false;
}

bool StatusNotifierItem::handleItem(const QDBusMessage& message)
{
    const QString method = message.member();
    if (method == QLatin1String("Activate"))
        emit m_item.activated(QSystemTrayIcon::Trigger);
    else if (method == QLatin1String("ContextMenu"))
        emit m_item.activated(QSystemTrayIcon::Context);
    else if (method == QLatin1String("SecondaryActivate"))
        emit m_item.activated(QSystemTrayIcon::MiddleClick);
    else if (method != QLatin1String("Scroll"))
        return false;
    return true;
}

QDBusMessage StatusNotifierItem::handleMenu(const QDBusMessage& message)
{
    const QString method = message.member();
    const QVariantList arguments = message.arguments();
    const QMenu* menu = m_menu;
    const auto entryIds = [menu] {
        QList<int> ids;
        for (qsizetype i = 1; menu && i <= menu->actions().size(); ++i)
            ids.append(int(i));
        return ids;
    };

    if (method == QLatin1String("GetLayout")) {
        const int parent = arguments.value(0).toInt();
        const int depth = arguments.value(1).toInt();
        const QStringList names = arguments.value(2).toStringList();
        MenuLayout layout{parent, only(propertiesOf(menu, parent), names), {}};
        if (parent == 0 && depth != 0) {
            for (const int id : entryIds())
                layout.children.append({id, only(propertiesOf(menu, id), names), {}});
        }
        // The menu never changes once built, so its revision stays 1.
        return message.createReply({1u, QVariant::fromValue(layout)});
    }
    if (method == QLatin1String("GetGroupProperties")) {
        QList<int> ids = qdbus_cast<QList<int>>(arguments.value(0));
        if (ids.isEmpty())
            ids = entryIds();
        const QStringList names = arguments.value(1).toStringList();
        QList<MenuEntry> entries;
        for (const int id : ids)
            entries.append({id, only(propertiesOf(menu, id), names)});
        return message.createReply(QVariant::fromValue(entries));
    }
    if (method == QLatin1String("GetProperty")) {
        const QVariantMap properties = propertiesOf(menu, arguments.value(0).toInt());
        return message.createReply(
            QVariant::fromValue(QDBusVariant(properties.value(arguments.value(1).toString()))));
    }
    const auto click = [menu](int id, const QString& event) {
        QAction* action = actionWithId(menu, id);
        if (!action)
            return false;
        // After the reply: the action may open a chooser or quit.
        if (event == QLatin1String("clicked") && action->isEnabled() && !action->isSeparator())
            QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
        return true;
    };
    if (method == QLatin1String("Event")) {
        click(arguments.value(0).toInt(), arguments.value(1).toString());
        return message.createReply();
    }
    if (method == QLatin1String("EventGroup")) {
        QList<int> unknown;
        const QDBusArgument events = arguments.value(0).value<QDBusArgument>();
        events.beginArray();
        while (!events.atEnd()) {
            int id = 0;
            QString event;
            QDBusVariant data;
            uint timestamp = 0;
            events.beginStructure();
            events >> id >> event >> data >> timestamp;
            events.endStructure();
            if (!click(id, event))
                unknown.append(id);
        }
        events.endArray();
        return message.createReply(QVariant::fromValue(unknown));
    }
    if (method == QLatin1String("AboutToShow"))
        return message.createReply(false);
    if (method == QLatin1String("AboutToShowGroup"))
        return message.createReply({QVariant::fromValue(QList<int>()), QVariant::fromValue(QList<int>())});
    return {};
}
