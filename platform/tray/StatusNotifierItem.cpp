#include "StatusNotifierItem.h"

#include "tray/DBusMenuAdaptor.h"
#include "tray/StatusNotifierItemAdaptor.h"
#include "tray/StatusNotifierTypes.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace {

const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuPath = QStringLiteral("/MenuBar");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

QDBusMessage askHostRegistered()
{
    QDBusMessage get = QDBusMessage::createMethodCall(StatusNotifierItem::watcherService, watcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << StatusNotifierItem::watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

bool saysRegistered(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}

} // namespace

StatusNotifierItem::StatusNotifierItem(QSystemTrayIcon& item, QMenu& menu, bool hostRunning)
    : QObject(&item), m_bus(QDBusConnection::sessionBus()),
      m_watcher(watcherService, m_bus,
                QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration),
      m_inTray(hostRunning)
{
    registerStatusNotifierTypes();
    new StatusNotifierItemAdaptor(*this, item, menuPath);
    new DBusMenuAdaptor(m_menuObject, menu, m_bus);
    m_bus.registerObject(itemPath, this, QDBusConnection::ExportAdaptors);
    m_bus.registerObject(menuPath, &m_menuObject, QDBusConnection::ExportAdaptors);
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this,
            &StatusNotifierItem::registerWithWatcher);
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] { setInTray(false); });
    // A watcher's host may register after the watcher has listed the item, waybar's a moment later.
    m_bus.connect(watcherService, watcherPath, watcherService, QStringLiteral("StatusNotifierHostRegistered"),
                  this, SLOT(hostRegistered()));
    m_bus.connect(watcherService, watcherPath, watcherService,
                  QStringLiteral("StatusNotifierHostUnregistered"), this, SLOT(hostUnregistered()));
    // A tray that started since Qt looked for one is there already; with none, the call goes nowhere.
    registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem()
{
    m_bus.unregisterObject(itemPath);
    m_bus.unregisterObject(menuPath);
}

bool StatusNotifierItem::hostRunning(const QDBusConnection& bus)
{
    const QDBusConnectionInterface* daemon = bus.interface();
    return daemon && daemon->isServiceRegistered(watcherService) &&
           saysRegistered(bus.call(askHostRegistered(), QDBus::Block, 1000));
}

void StatusNotifierItem::hostRegistered()
{
    setInTray(true);
}

void StatusNotifierItem::hostUnregistered()
{
    askWhetherInTray();
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(watcherService, watcherPath, watcherService,
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << m_bus.baseService();
    m_bus.send(call);
    // Asked after the registration, so the answer comes once the watcher lists the item.
    askWhetherInTray();
}

void StatusNotifierItem::askWhetherInTray()
{
    auto* asked = new QDBusPendingCallWatcher(m_bus.asyncCall(askHostRegistered()), this);
    connect(asked, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answer) {
        answer->deleteLater();
        setInTray(saysRegistered(answer->reply()));
    });
}

void StatusNotifierItem::setInTray(bool inTray)
{
    const bool shown = inTray && !m_inTray;
    m_inTray = inTray;
    if (shown)
        emit shownInTray();
}
