#pragma once

#include <QKeyCombination>
#include <QKeyEvent>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class Log;
class SettingsStore;

// Global shortcuts: runs an action whenever the shortcut stored under a settings key is pressed
// anywhere on the desktop. One instance serves the whole program.
class ShortcutBinder : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // From now on and for the life of the binder: each press of the shortcut stored under key runs
    // action on the main thread, once per press however long the keys are held. The binder follows
    // later writes of the key in the store by itself.
    virtual void bindShortcutWithDefaultsKey(const QString& key, std::function<void()> action) = 0;

    // Asked before a new shortcut is stored under key. Nothing when the binder can hold it; otherwise
    // a short sentence for the user saying why not (another program or another key holds it). Each
    // refusal is logged.
    virtual std::optional<QString> refusalFor(QKeyCombination combination, const QString& key) = 0;

    // The combination a key press in a recorder stands for. By default the key and modifiers as Qt
    // reports them; a display system that reports the shifted character names the key instead.
    virtual QKeyCombination combinationOf(const QKeyEvent& event) const;
};

// The binder that works in this session: the desktop portal's global shortcuts in a Wayland session,
// whatever Qt's platform; key grabs on X11 (also on XWayland when the portal has no global shortcuts);
// elsewhere one that says once in the log that global shortcuts are not available and does nothing
// else. Needs the QGuiApplication.
std::unique_ptr<ShortcutBinder> makeShortcutBinder(SettingsStore& store, Log& log);
