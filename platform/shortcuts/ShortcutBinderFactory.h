#pragma once

#include <memory>

class Log;
class SettingsStore;
class ShortcutBinder;

// The binder that works in this session: the desktop portal's global shortcuts in a Wayland session,
// whatever Qt's platform; key grabs on X11 (also on XWayland when the portal has no global shortcuts);
// elsewhere one that says once in the log that global shortcuts are not available and does nothing
// else. Needs the QGuiApplication.
std::unique_ptr<ShortcutBinder> makeShortcutBinder(SettingsStore& store, Log& log);
