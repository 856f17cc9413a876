#include "StatusNotifierItem.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QtEndian>

namespace {

const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuPath = QStringLiteral("/MenuBar");
const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

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

QDBusArgument& operator<<(QDBusArgument& argument, const ItemToolTip& tip)
{
    argument.beginStructure();
    argument << tip.iconName << tip.images << tip.title << tip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ItemToolTip& tip)
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

QDBusArgument& operator<<(QDBusArgument& argument, const MenuEvent& event)
{
    argument.beginStructure();
    argument << event.id << event.event << event.data << event.timestamp;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, MenuEvent& event)
{
    argument.beginStructure();
    argument >> event.id >> event.event >> event.data >> event.timestamp;
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
        return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
    const QAction* action = actionWithId(menu, id);
    return action ? entryProperties(*action) : QVariantMap();
}

} // namespace

Q_DECLARE_METATYPE(IconImage)
Q_DECLARE_METATYPE(ItemToolTip)
Q_DECLARE_METATYPE(MenuLayout)
Q_DECLARE_METATYPE(MenuEntry)
Q_DECLARE_METATYPE(MenuEvent)

namespace {

// org.kde.StatusNotifierItem at /StatusNotifierItem. QtDBus serves the properties and calls a slot only
// when the call's signature is the slot's.
class ItemAdaptor final : public QDBusAbstractAdaptor {
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
    ItemAdaptor(QObject& object, QSystemTrayIcon& item) : QDBusAbstractAdaptor(&object), m_item(item) {}

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QCoreApplication::applicationName(); }
    QString title() const { return m_item.toolTip().isEmpty() ? id() : m_item.toolTip(); }
    QString status() const
    {
        return m_item.isVisible() ? QStringLiteral("Active") : QStringLiteral("Passive");
    }
    int windowId() const { return 0; }
    QString noName() const { return {}; }
    IconImages iconPixmap() const { return imagesOf(m_item.icon()); }
    IconImages noImages() const { return {}; }
    ItemToolTip toolTip() const { return {QString(), {}, m_item.toolTip(), QString()}; }
    // Every click opens the menu: the tray shows it, since a Wayland client cannot place one there.
    bool itemIsMenu() const { return true; }
    QDBusObjectPath menu() const { return QDBusObjectPath(menuPath); }

public slots:
    // The names of the arguments are the interface's, as introspection shows them.
    void Activate(int x, int y)
    {
        Q_UNUSED(x);
        Q_UNUSED(y);
        emit m_item.activated(QSystemTrayIcon::Trigger);
    }
    void ContextMenu(int x, int y)
    {
        Q_UNUSED(x);
        Q_UNUSED(y);
        emit m_item.activated(QSystemTrayIcon::Context);
    }
    void SecondaryActivate(int x, int y)
    {
        Q_UNUSED(x);
        Q_UNUSED(y);
        emit m_item.activated(QSystemTrayIcon::MiddleClick);
    }
    void Scroll(int delta, const QString& orientation)
    {
        Q_UNUSED(delta);
        Q_UNUSED(orientation);
    }

private:
    QSystemTrayIcon& m_item;
};

// com.canonical.dbusmenu at /MenuBar: the menu's entries, numbered from 1 in its order.
class MenuAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    MenuAdaptor(QObject& object, QMenu& menu) : QDBusAbstractAdaptor(&object), m_menu(&menu) {}

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    // The menu never changes once built, so its revision stays 1.
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, MenuLayout& layout)
    {
        layout = {parentId, only(propertiesOf(m_menu, parentId), propertyNames), {}};
        if (parentId == 0 && recursionDepth != 0) {
            for (const int id : entryIds())
                layout.children.append({id, only(propertiesOf(m_menu, id), propertyNames), {}});
        }
        return 1;
    }
    QList<MenuEntry> GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames)
    {
        QList<MenuEntry> entries;
        for (const int id : ids.isEmpty() ? entryIds() : ids)
            entries.append({id, only(propertiesOf(m_menu, id), propertyNames)});
        return entries;
    }
    // An unknown property reads as an empty string: a variant must hold something.
    QDBusVariant GetProperty(int id, const QString& name)
    {
        return QDBusVariant(propertiesOf(m_menu, id).value(name, QString()));
    }
    void Event(int id, const QString& event, const QDBusVariant& data, uint timestamp)
    {
        Q_UNUSED(data);
        Q_UNUSED(timestamp);
        handle(id, event);
    }
    // The ids of the events that name no entry.
    QList<int> EventGroup(const QList<MenuEvent>& events)
    {
        QList<int> unknown;
        for (const MenuEvent& event : events) {
            if (!handle(event.id, event.event))
                unknown.append(event.id);
        }
        return unknown;
    }
    bool AboutToShow(int id)
    {
        Q_UNUSED(id);
        return false;
    }
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors)
    {
        Q_UNUSED(ids);
        idErrors.clear();
        return {};
    }

signals:
    void LayoutUpdated(uint revision, int parent);

private:
    QList<int> entryIds() const
    {
        QList<int> ids;
        for (qsizetype i = 1; m_menu && i <= m_menu->actions().size(); ++i)
            ids.append(int(i));
        return ids;
    }
    // A click triggers the entry's action; false when no entry has the id.
    bool handle(int id, const QString& event)
    {
        QAction* action = actionWithId(m_menu, id);
        if (!action)
            return false;
        // After the reply: the action may open a chooser or quit.
        if (event == QLatin1String("clicked") && action->isEnabled() && !action->isSeparator())
            QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
        return true;
    }

    QPointer<QMenu> m_menu;
};

} // namespace

StatusNotifierItem::StatusNotifierItem(QSystemTrayIcon& item, QMenu& menu)
    : QObject(&item), m_bus(QDBusConnection::sessionBus()),
      m_watcher(watcherService, m_bus, QDBusServiceWatcher::WatchForRegistration)
{
    qDBusRegisterMetaType<IconImage>();
    qDBusRegisterMetaType<IconImages>();
    qDBusRegisterMetaType<ItemToolTip>();
    qDBusRegisterMetaType<MenuLayout>();
    qDBusRegisterMetaType<MenuEntry>();
    qDBusRegisterMetaType<QList<MenuEntry>>();
    qDBusRegisterMetaType<MenuEvent>();
    qDBusRegisterMetaType<QList<MenuEvent>>();
    // The slot's argument as moc spells it: QtDBus looks argument types of slots up by that name.
    qRegisterMetaType<QList<MenuEvent>>("QList<MenuEvent>");
    new ItemAdaptor(*this, item);
    new MenuAdaptor(m_menuObject, menu);
    m_bus.registerObject(itemPath, this, QDBusConnection::ExportAdaptors);
    m_bus.registerObject(menuPath, &m_menuObject, QDBusConnection::ExportAdaptors);
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

#include "StatusNotifierItem.moc"
