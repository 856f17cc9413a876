#include "PortalRequest.h"

#include "portal/DesktopPortal.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUuid>

PortalRequest::PortalRequest(const QDBusConnection& bus, const QString& interface, const QString& method,
                             QVariantList arguments, QVariantMap options, QObject* parent)
    : QObject(parent), m_bus(bus)
{
    const QString token = newToken();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);
    listen(handlePath(bus, QStringLiteral("request"), token));

    QDBusMessage message =
        QDBusMessage::createMethodCall(desktopPortal::service, desktopPortal::path, interface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalRequest::called);
}

QString PortalRequest::handlePath(const QDBusConnection& bus, const QString& kind, const QString& token)
{
    QString sender = bus.baseService();
    sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("%1/%2/%3/%4").arg(desktopPortal::path, kind, sender, token);
}

QString PortalRequest::newToken()
{
    return QStringLiteral("kestrelle_") + QUuid::createUuid().toString(QUuid::Id128);
}

void PortalRequest::called(QDBusPendingCallWatcher* watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (m_done)
        return;
    if (reply.isError()) {
        m_done = true;
        stopListening();
        emit failed(reply.error().message());
        return;
    }
    // Portals older than the handle_token option choose their own path; the answer comes after the
    // reply there.
    if (reply.value().path() != m_path) {
        stopListening();
        listen(reply.value().path());
    }
}

void PortalRequest::responded(uint response, const QVariantMap& results)
{
    if (m_done)
        return;
    m_done = true;
    stopListening();
    emit answered(response, results);
}

void PortalRequest::listen(const QString& path)
{
    m_path = path;
    m_bus.connect(desktopPortal::service, m_path, desktopPortal::requestInterface, QStringLiteral("Response"),
                  this, SLOT(responded(uint, QVariantMap)));
}

void PortalRequest::stopListening()
{
    m_bus.disconnect(desktopPortal::service, m_path, desktopPortal::requestInterface,
                     QStringLiteral("Response"), this, SLOT(responded(uint, QVariantMap)));
}
