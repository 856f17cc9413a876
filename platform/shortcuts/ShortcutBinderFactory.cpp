#include "ShortcutBinderFactory.h"

#include "shortcuts/ShortcutBinderNull.h"
#include "shortcuts/portal/ShortcutBinderPortal.h"
#include "shortcuts/x11/ShortcutBinderXcb.h"
#include "system/Log.h"

#include <QGuiApplication>

std::unique_ptr<ShortcutBinder> makeShortcutBinder(SettingsStore& store, Log& log)
{
    const QString platform = QGuiApplication::platformName();
    // The session counts, not Qt's plugin: on XWayland (or offscreen) inside a Wayland session, key grabs
    // hear only keys pressed in X11 windows, while the portal hears them all. A session that says it is
    // X11 is one, whatever Wayland display a program started in it may have been handed.
    const QString sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    const bool waylandSession =
        platform.startsWith(QLatin1String("wayland")) || sessionType == QLatin1String("wayland") ||
        (sessionType != QLatin1String("x11") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
    std::optional<QString> portalMissing;
    if (waylandSession) {
        portalMissing = ShortcutBinderPortal::unavailableReason();
        if (!portalMissing)
            return std::make_unique<ShortcutBinderPortal>(store, log);
    }
    if (platform == QLatin1String("xcb")) {
        if (const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            // Through XWayland the compositor hands keys to X clients only while one of them has the focus.
            if (waylandSession) {
                log.log(
                    QStringLiteral("Shortcuts: the desktop portal's global shortcuts are not available in "
                                   "this Wayland session (%1); Kestrelle runs on X11, where its shortcuts "
                                   "work only while an X11 window has the focus")
                        .arg(*portalMissing));
            }
            return std::make_unique<ShortcutBinderXcb>(x11->connection(), store, log);
        }
    }
    if (portalMissing)
        return std::make_unique<ShortcutBinderNull>(store, log,
                                                    QStringLiteral("%1, %2").arg(platform, *portalMissing));
    return std::make_unique<ShortcutBinderNull>(store, log, platform);
}
