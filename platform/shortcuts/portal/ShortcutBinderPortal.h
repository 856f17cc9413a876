#pragma once

#include "shortcuts/ShortcutBinder.h"

#include <QDBusConnection>
#include <QList>
#include <QPair>
#include <QPointer>

#include <vector>

class Log;
class PortalRequest;
class SettingsStore;
class QDBusObjectPath;

// Global shortcuts through the desktop portal, for Wayland sessions: one portal session holds both
// shortcuts, with the recorded combinations as the triggers the program would like. The desktop decides
// the final trigger and may ask the user first, so the program asks it to bind only shortcuts the session
// does not hold yet, or a combination the user has just recorded. A new recorded combination opens the
// session again, since a session binds only once.
class ShortcutBinderPortal final : public ShortcutBinder {
    Q_OBJECT

public:
    ShortcutBinderPortal(SettingsStore& store, Log& log, QObject* parent = nullptr);

    // Nothing when the session bus has a portal with global shortcuts; otherwise why not, for the log.
    static std::optional<QString> unavailableReason();

    void bindShortcutWithDefaultsKey(const QString& key, std::function<void()> action) override;
    bool firesShortcuts() const override { return !m_refused; }
    std::optional<QString> refusalFor(QKeyCombination combination, const QString& key) override;

private slots:
    void activated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                   const QVariantMap& options);

private:
    struct Binding {
        QString key;
        std::function<void()> action;
    };
    // a(sa{sv}): each shortcut's id with its properties.
    using PortalShortcuts = QList<QPair<QString, QVariantMap>>;

    void follow(const QString& key);
    void scheduleBind();
    void bind();
    PortalShortcuts wantedShortcuts();
    void createSession();
    void sessionCreated(uint response, const QVariantMap& results, const PortalShortcuts& shortcuts,
                        bool recorded);
    void bindUnheld(const QVariantMap& results, const PortalShortcuts& shortcuts, bool recorded);
    void shortcutsBound(uint response, const QVariantMap& results);
    void requestFailed(const QString& error);
    void requestEnded();
    void refuse();
    void watch(PortalRequest* request, std::function<void(uint, const QVariantMap&)> answered);
    Binding* bindingFor(const QString& key);

    SettingsStore& m_store;
    Log& m_log;
    QDBusConnection m_bus;
    std::vector<Binding> m_bindings;
    QString m_session;
    // The portal request or session close under way.
    QPointer<QObject> m_pending;
    // A shortcut was recorded anew since the session was last opened.
    bool m_recorded = false;
    bool m_bindScheduled = false;
    // A change arrived while the portal was still answering the last one.
    bool m_bindAgain = false;
    // The open session already holds some of the shortcuts, from an earlier binding or as it opened.
    bool m_sessionHolds = false;
    bool m_refused = false;
};
