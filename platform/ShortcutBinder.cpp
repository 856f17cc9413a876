#include "ShortcutBinder.h"

#include "Log.h"
#include "ShortcutBinderNull.h"
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
    return std::make_unique<ShortcutBinderNull>(store, log, platform);
}
