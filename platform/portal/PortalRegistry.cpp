#include "PortalRegistry.h"

#include "portal/DesktopPortal.h"
#include "system/Log.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QVariantMap>

void registerWithDesktopPortal(const QString& appId, Log& log)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(desktopPortal::service, desktopPortal::path,
                                       desktopPortal::registryInterface, QStringLiteral("Register"));
    call << appId << QVariantMap();
    // The bus may start the portal for this call, which on a busy machine takes seconds: the program's
    // next requests to it would wait as long. One that hangs must not hold up the start for good.
    constexpr int timeoutMs = 10000;
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ErrorMessage)
        return;
    // No portal on the bus, or one without the registry.
    for (const QDBusError::ErrorType normal : {QDBusError::ServiceUnknown, QDBusError::UnknownMethod,
                                               QDBusError::UnknownInterface, QDBusError::UnknownObject}) {
        if (reply.errorName() == QDBusError::errorString(normal))
            return;
    }
    log.log(QStringLiteral("Desktop portal: could not register as %1 (%2); the desktop may refuse what it "
                           "grants only to programs it knows, such as global shortcuts")
                .arg(appId, reply.errorMessage()));
}
