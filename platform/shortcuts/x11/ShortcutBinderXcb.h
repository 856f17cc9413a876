#pragma once

#include "shortcuts/ShortcutBinder.h"
#include "shortcuts/x11/XcbKeyboard.h"

#include <QAbstractNativeEventFilter>

#include <vector>
#include <xcb/xcb.h>

class Log;
class SettingsStore;

// Global shortcuts on X11: passive key grabs on every root window, once for each state of the lock
// modifiers, so that Caps Lock and Num Lock do not change what a shortcut is. Key events reach it
// through Qt's native event filter on Qt's own connection.
class ShortcutBinderXcb final : public ShortcutBinder, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    ShortcutBinderXcb(xcb_connection_t* connection, SettingsStore& store, Log& log,
                      QObject* parent = nullptr);
    ~ShortcutBinderXcb() override;

    void bindShortcutWithDefaultsKey(const QString& key, std::function<void()> action) override;
    std::optional<QString> refusalFor(QKeyCombination combination, const QString& key) override;
    QKeyCombination combinationOf(const QKeyEvent& event) const override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Binding {
        QString key;
        std::function<void()> action;
        std::optional<QKeyCombination> shortcut;
        // What the server holds for us now; empty when the shortcut could not be grabbed.
        std::vector<KeyGrab> grabs;
        // Auto-repeat shows as more presses: either with no release between them, or each after a
        // release with the very same time stamp.
        xcb_keycode_t heldKeycode = 0;
        xcb_timestamp_t releasedAt = 0;
    };
    enum class Report { Quiet, ToLog };

    void follow(const QString& key);
    void grab(Binding& binding, Report report);
    void release(Binding& binding);
    void keyboardChanged();
    bool keyPressed(const xcb_key_press_event_t& event);
    bool keyReleased(const xcb_key_release_event_t& event);
    Binding* bindingFor(const QString& key);
    bool sameShortcut(QKeyCombination first, QKeyCombination second) const override;
    std::vector<BoundKey> boundKeys() const;
    // All or nothing: false when another client holds any variant, and then nothing stays grabbed.
    bool grabOnServer(const std::vector<KeyGrab>& grabs);
    void ungrabOnServer(const std::vector<KeyGrab>& grabs);

    xcb_connection_t* m_connection;
    SettingsStore& m_store;
    Log& m_log;
    XcbKeyboard m_keyboard;
    std::vector<xcb_window_t> m_roots;
    std::vector<Binding> m_bindings;
};
