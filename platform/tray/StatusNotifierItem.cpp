#include "StatusNotifierItem.h"

#include "tray/DBusMenuAdaptor.h"
#include "tray/StatusNotifierItemAdaptor.h"
#include "tray/StatusNotifierTypes.h"

#include <QDBusMessage>

namespace {

const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuPath = QStringLiteral("/MenuBar");

} // namespace

StatusNotifierItem::StatusNotifierItem(QSystemTrayIcon& item, QMenu& menu)
    : QObject(&item), m_bus(QDBusConnection::sessionBus()),
      m_watcher(watcherService, m_bus, QDBusServiceWatcher::WatchForRegistration)
{
    registerStatusNotifierTypes();
    new StatusNotifierItemAdaptor(*this, item, menuPath);
    new DBusMenuAdaptor(m_menuObject, menu, m_bus);
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
