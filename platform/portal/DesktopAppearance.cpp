#include "DesktopAppearance.h"

#include "portal/DesktopPortal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPalette>

namespace {

enum class ColorScheme { NoPreference = 0, PreferDark = 1, PreferLight = 2 };

std::optional<ColorScheme> portalColorScheme(std::chrono::milliseconds timeout)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call =
        QDBusMessage::createMethodCall(desktopPortal::service, desktopPortal::path,
                                       desktopPortal::settingsInterface, QStringLiteral("Read"));
    call << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme");
    const QDBusMessage reply = bus.call(call, QDBus::Block, int(timeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    // Read answers a variant that holds the setting's variant.
    QVariant value = reply.arguments().constFirst();
    while (value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint scheme = value.toUInt(&ok);
    if (!ok || scheme > uint(ColorScheme::PreferLight))
        return std::nullopt;
    return ColorScheme(scheme);
}

} // namespace

std::optional<QString> desktopInterfaceStyle(std::chrono::milliseconds portalTimeout)
{
    const auto scheme = portalColorScheme(portalTimeout);
    bool dark = false;
    if (scheme && *scheme != ColorScheme::NoPreference)
        dark = *scheme == ColorScheme::PreferDark;
    else
        dark = QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
    if (dark)
        return QStringLiteral("Dark");
    return std::nullopt;
}
