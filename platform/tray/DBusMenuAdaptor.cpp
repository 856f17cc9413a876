#include "DBusMenuAdaptor.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QStyleHints>

#include <algorithm>

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

void DBusMenuAdaptor::Event(int id, const QString& event, const QDBusVariant&, uint, const QDBusMessage& call)
{
    if (!knows(id))
        refuse(call, id);
    else if (event == QLatin1String("clicked"))
        click(id);
}

QList<int> DBusMenuAdaptor::EventGroup(const QList<MenuEvent>& events, const QDBusMessage& call)
{
    const auto unknown = std::find_if(events.cbegin(), events.cend(),
                                      [this](const MenuEvent& event) { return !knows(event.id); });
    if (unknown != events.cend()) {
        refuse(call, unknown->id);
        return {};
    }
    const auto clicked = std::find_if(events.cbegin(), events.cend(), [](const MenuEvent& event) {
        return event.event == QLatin1String("clicked");
    });
    if (clicked != events.cend())
        click(clicked->id);
    return {};
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

bool DBusMenuAdaptor::knows(int id) const
{
    return id == 0 || actionWithId(m_menu, id);
}

void DBusMenuAdaptor::refuse(const QDBusMessage& call, int id) const
{
    call.setDelayedReply(true);
    m_bus.send(
        call.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("The menu has no entry %1").arg(id)));
}

void DBusMenuAdaptor::click(int id)
{
    QAction* action = actionWithId(m_menu, id);
    if (!action || action->isSeparator() || !action->isEnabled())
        return;
    if (id == m_lastClickedId && m_sinceLastClick.isValid() &&
        m_sinceLastClick.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval())
        return;
    m_lastClickedId = id;
    m_sinceLastClick.start();
    // After the reply: the action may open a chooser or quit.
    QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
}
