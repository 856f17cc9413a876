#include "DBusMenuAdaptor.h"

#include <QAction>
#include <QMenu>

namespace {

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

uint DBusMenuAdaptor::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                MenuLayout& layout)
{
    layout = {parentId, only(propertiesOf(m_menu, parentId), propertyNames), {}};
    if (parentId == 0 && recursionDepth != 0) {
        for (const int id : entryIds())
            layout.children.append({id, only(propertiesOf(m_menu, id), propertyNames), {}});
    }
    return 1;
}

QList<MenuEntry> DBusMenuAdaptor::GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames)
{
    QList<MenuEntry> entries;
    for (const int id : ids.isEmpty() ? entryIds() : ids)
        entries.append({id, only(propertiesOf(m_menu, id), propertyNames)});
    return entries;
}

QDBusVariant DBusMenuAdaptor::GetProperty(int id, const QString& name)
{
    return QDBusVariant(propertiesOf(m_menu, id).value(name, QString()));
}

void DBusMenuAdaptor::Event(int id, const QString& event, const QDBusVariant&, uint)
{
    handle(id, event);
}

QList<int> DBusMenuAdaptor::EventGroup(const QList<MenuEvent>& events)
{
    QList<int> unknown;
    for (const MenuEvent& event : events) {
        if (!handle(event.id, event.event))
            unknown.append(event.id);
    }
    return unknown;
}

bool DBusMenuAdaptor::AboutToShow(int)
{
    return false;
}

QList<int> DBusMenuAdaptor::AboutToShowGroup(const QList<int>&, QList<int>& idErrors)
{
    idErrors.clear();
    return {};
}

QList<int> DBusMenuAdaptor::entryIds() const
{
    QList<int> ids;
    for (qsizetype i = 1; m_menu && i <= m_menu->actions().size(); ++i)
        ids.append(int(i));
    return ids;
}

bool DBusMenuAdaptor::handle(int id, const QString& event)
{
    QAction* action = actionWithId(m_menu, id);
    if (!action)
        return false;
    // After the reply: the action may open a chooser or quit.
    if (event == QLatin1String("clicked") && action->isEnabled() && !action->isSeparator())
        QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
    return true;
}
