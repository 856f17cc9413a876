#include "ShortcutBinder.h"

#include "Log.h"
#include "ShortcutBinderNull.h"
#include "portal/ShortcutBinderPortal.h"
#include "x11/ShortcutBinderXcb.h"

#include <QGuiApplication>

QKeyCombination ShortcutBinder::combinationOf(const QKeyEvent& event) const
{
    return QKeyCombination(event.modifiers() &
                               (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier),
                           Qt::Key(event.key()));
}

std::unique_ptr<ShortcutBinder> makeShortcutBinder(SettingsStore& store, Log& log)
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        if (const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            // Through XWayland the compositor hands keys to X clients only while one of them has the focus.
            if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")) {
                log.log(
                    QStringLiteral("Shortcuts: this Wayland session runs Kestrelle on X11; global shortcuts "
                                   "work only while an X11 window has the focus"));
            }
            return std::make_unique<ShortcutBinderXcb>(x11->connection(), store, log);
        }
    }
    // No usable X11 here. The session type counts too: inside a Wayland session Qt may run on another
    // plugin (offscreen, or xcb without a display), and the portal serves those all the same.
    if (platform.startsWith(QLatin1String("wayland")) ||
        qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")) {
        const std::optional<QString> reason = ShortcutBinderPortal::unavailableReason();
        if (!reason)
            return std::make_unique<ShortcutBinderPortal>(store, log);
        return std::make_unique<ShortcutBinderNull>(store, log,
                                                    QStringLiteral("%1, %2").arg(platform, *reason));
    }
    return std::make_unique<ShortcutBinderNull>(store, log, platform);
}
