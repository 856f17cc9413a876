#include "ShortcutBinderXcb.h"

#include "settings/SettingsStore.h"
#include "shortcuts/StoredShortcut.h"
#include "system/Log.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

bool overlap(const std::vector<KeyGrab>& first, const std::vector<KeyGrab>& second)
{
    return std::any_of(first.begin(), first.end(), [&](const KeyGrab& grab) {
        return std::find(second.begin(), second.end(), grab) != second.end();
    });
}

} // namespace

ShortcutBinderXcb::ShortcutBinderXcb(xcb_connection_t* connection, SettingsStore& store, Log& log,
                                     QObject* parent)
    : ShortcutBinder(parent), m_connection(connection), m_store(store), m_log(log), m_keyboard(connection)
{
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem; xcb_screen_next(&it))
        m_roots.push_back(it.data->root);
    connect(&m_store, &SettingsStore::valueChanged, this, &ShortcutBinderXcb::follow);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

ShortcutBinderXcb::~ShortcutBinderXcb()
{
    // Without the application Qt's connection is gone, and the server released the grabs with it.
    auto* application = QCoreApplication::instance();
    if (!application)
        return;
    application->removeNativeEventFilter(this);
    for (Binding& binding : m_bindings)
        release(binding);
}

void ShortcutBinderXcb::bindShortcutWithDefaultsKey(const QString& key, std::function<void()> action)
{
    if (Binding* existing = bindingFor(key)) {
        existing->action = std::move(action);
        return;
    }
    m_bindings.push_back({key, std::move(action), {}, {}, 0, 0});
    grab(m_bindings.back(), Report::ToLog);
}

std::optional<QString> ShortcutBinderXcb::refusalFor(QKeyCombination combination, const QString& key)
{
    if (std::optional<QString> refusal = refusalIfAssigned(combination, key, boundKeys(), m_log))
        return refusal;
    std::vector<KeyGrab> grabs = m_keyboard.grabsWithLocksFor(combination);
    // What this key holds already needs no asking; grabbing it again would be harmless, but releasing
    // it after the test would not.
    if (const Binding* own = bindingFor(key)) {
        std::erase_if(grabs, [own](const KeyGrab& grab) {
            return std::find(own->grabs.begin(), own->grabs.end(), grab) != own->grabs.end();
        });
    }
    if (grabs.empty())
        return std::nullopt;
    if (grabOnServer(grabs)) {
        ungrabOnServer(grabs);
        return std::nullopt;
    }
    m_log.log(QStringLiteral("Shortcuts: %1 is held by another program; %2 keeps its shortcut")
                  .arg(textFromShortcut(combination), key));
    //: Hint under a shortcut field; %1 is a key combination such as Ctrl+Shift+3.
    return tr("%1 is in use by another program.").arg(displayText(combination));
}

QKeyCombination ShortcutBinderXcb::combinationOf(const QKeyEvent& event) const
{
    const QKeyCombination typed = ShortcutBinder::combinationOf(event);
    // X reports the character that Shift chose: Ctrl+Shift+3 arrives as Ctrl+Shift+#. People name the
    // key by what is printed on it first, and so does the stored form.
    const quint32 keycode = event.nativeScanCode();
    if (!(typed.keyboardModifiers() & Qt::ShiftModifier) || keycode == 0 || keycode > 255)
        return typed;
    if (const int key = m_keyboard.unshiftedQtKey(xcb_keycode_t(keycode)))
        return QKeyCombination(typed.keyboardModifiers(), Qt::Key(key));
    return typed;
}

void ShortcutBinderXcb::follow(const QString& key)
{
    if (Binding* binding = bindingFor(key)) {
        release(*binding);
        grab(*binding, Report::ToLog);
    }
}

void ShortcutBinderXcb::grab(Binding& binding, Report report)
{
    const QString text = m_store.stringForKey(binding.key).value_or(QString());
    binding.shortcut = shortcutFromText(text);
    const auto say = [&](const QString& message) {
        if (report == Report::ToLog)
            m_log.log(message);
    };
    if (!binding.shortcut) {
        if (!text.trimmed().isEmpty())
            say(QStringLiteral("Shortcuts: the value of %1 is not a shortcut; it does nothing")
                    .arg(binding.key));
        return;
    }
    const QString name = textFromShortcut(*binding.shortcut);
    std::vector<KeyGrab> grabs = m_keyboard.grabsWithLocksFor(*binding.shortcut);
    if (grabs.empty()) {
        say(QStringLiteral("Shortcuts: no key of this keyboard gives %1 (%2); it does nothing until the "
                           "keyboard changes")
                .arg(name, binding.key));
    } else if (const std::optional<QString> other = keyHolding(*binding.shortcut, binding.key, boundKeys())) {
        say(QStringLiteral("Shortcuts: %1 (%2) is already used by %3; it does nothing")
                .arg(name, binding.key, *other));
    } else if (!grabOnServer(grabs)) {
        say(QStringLiteral("Shortcuts: %1 (%2) is held by another program; it does nothing")
                .arg(name, binding.key));
    } else {
        binding.grabs = std::move(grabs);
    }
}

void ShortcutBinderXcb::release(Binding& binding)
{
    ungrabOnServer(binding.grabs);
    binding.grabs.clear();
    binding.heldKeycode = 0;
}

void ShortcutBinderXcb::keyboardChanged()
{
    m_keyboard.reload();
    for (Binding& binding : m_bindings) {
        // Unchanged grabs stay held, so a shortcut never lapses while another program remaps keys.
        if (binding.shortcut && !binding.grabs.empty() &&
            m_keyboard.grabsWithLocksFor(*binding.shortcut) == binding.grabs)
            continue;
        release(binding);
        // Some tools remap a spare key for every character they type: one log line per change would flood.
        grab(binding, Report::Quiet);
    }
}

bool ShortcutBinderXcb::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
    case XCB_KEY_PRESS:
        return keyPressed(*static_cast<const xcb_key_press_event_t*>(message));
    case XCB_KEY_RELEASE:
        return keyReleased(*static_cast<const xcb_key_release_event_t*>(message));
    case XCB_MAPPING_NOTIFY:
        if (static_cast<const xcb_mapping_notify_event_t*>(message)->request != XCB_MAPPING_POINTER)
            keyboardChanged();
        return false;
    default:
        return false;
    }
}

bool ShortcutBinderXcb::keyPressed(const xcb_key_press_event_t& event)
{
    // The same keys typed into one of our own windows (a recorder holding the keyboard) are not ours.
    if (std::find(m_roots.begin(), m_roots.end(), event.event) == m_roots.end())
        return false;
    // Button state and the modifiers above Mod5 do not belong to a key grab.
    const KeyGrab pressed{event.detail, uint16_t(event.state & 0xff)};
    for (Binding& binding : m_bindings) {
        if (std::find(binding.grabs.begin(), binding.grabs.end(), pressed) == binding.grabs.end())
            continue;
        const bool repeat = binding.heldKeycode == event.detail || binding.releasedAt == event.time;
        binding.heldKeycode = event.detail;
        // Queued, so that what the action opens never runs inside Qt's event dispatch.
        if (!repeat)
            QMetaObject::invokeMethod(this, binding.action, Qt::QueuedConnection);
        return true;
    }
    return false;
}

bool ShortcutBinderXcb::keyReleased(const xcb_key_release_event_t& event)
{
    if (std::find(m_roots.begin(), m_roots.end(), event.event) == m_roots.end())
        return false;
    for (Binding& binding : m_bindings) {
        if (binding.heldKeycode == event.detail && binding.heldKeycode != 0) {
            binding.heldKeycode = 0;
            binding.releasedAt = event.time;
            return true;
        }
    }
    return false;
}

ShortcutBinderXcb::Binding* ShortcutBinderXcb::bindingFor(const QString& key)
{
    const auto it = std::find_if(m_bindings.begin(), m_bindings.end(),
                                 [&](const Binding& binding) { return binding.key == key; });
    return it == m_bindings.end() ? nullptr : &*it;
}

bool ShortcutBinderXcb::sameShortcut(QKeyCombination first, QKeyCombination second) const
{
    // Two combinations that come to the same keys (Ctrl+# and Ctrl+Shift+3) are one to the server.
    return overlap(m_keyboard.grabsWithLocksFor(first), m_keyboard.grabsWithLocksFor(second));
}

std::vector<ShortcutBinder::BoundKey> ShortcutBinderXcb::boundKeys() const
{
    // What each key holds is what it grabbed, which the store may have changed on disk since; a key whose
    // grab was refused holds nothing.
    std::vector<BoundKey> bound;
    for (const Binding& binding : m_bindings)
        bound.push_back({binding.key, binding.grabs.empty() ? std::nullopt : binding.shortcut});
    return bound;
}

bool ShortcutBinderXcb::grabOnServer(const std::vector<KeyGrab>& grabs)
{
    // Without owner events the keys are always reported to the root window, even while one of our own
    // windows has the focus, which is how the event filter tells them from typed keys.
    std::vector<xcb_void_cookie_t> cookies;
    for (const xcb_window_t root : m_roots) {
        for (const KeyGrab& grab : grabs) {
            cookies.push_back(xcb_grab_key_checked(m_connection, false, root, grab.modifiers, grab.keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    bool taken = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
            xcb_request_check(m_connection, cookie), &std::free);
        taken = taken || error;
    }
    if (taken)
        ungrabOnServer(grabs);
    return !taken;
}

void ShortcutBinderXcb::ungrabOnServer(const std::vector<KeyGrab>& grabs)
{
    // Releases only this client's grabs, so variants that another client holds are left alone.
    for (const xcb_window_t root : m_roots) {
        for (const KeyGrab& grab : grabs)
            xcb_ungrab_key(m_connection, grab.keycode, root, grab.modifiers);
    }
    // Other programs may take the combination as soon as this returns.
    xcb_flush(m_connection);
}
