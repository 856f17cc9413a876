#pragma once

#include "shortcuts/ShortcutBinder.h"

#include <QDBusConnection>
#include <QPointer>

#include <vector>

class Log;
class PortalRequest;
class SettingsStore;
class QDBusObjectPath;

// Global shortcuts through the desktop portal, for Wayland sessions: one portal session holds both
// shortcuts, with the recorded combinations as the triggers the program would like. The desktop decides
// the final trigger and may ask the user first. A new recorded combination binds everything again in a
// new session, since a session binds only once.
class ShortcutBinderPortal final : public ShortcutBinder {
    Q_OBJECT

public:
    ShortcutBinderPortal(SettingsStore& store, Log& log, QObject* parent = nullptr);

    // Nothing when the session bus has a portal with global shortcuts; otherwise why not, for the log.
    static std::optional<QString> unavailableReason();

    void bindShortcutWithDefaultsKey(const QString& key, std::function<void()> action) override;
    std::optional<QString> refusalFor(QKeyCombination combination, const QString& key) override;

private slots:
    void activated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                   const QVariantMap& options);

private:
    struct Binding {
        QString key;
        std::function<void()> action;
    };

    void follow(const QString& key);
    void scheduleBind();
    void bind();
    void sessionCreated(uint response, const QVariantMap& results);
    void shortcutsBound(uint response, const QVariantMap& results);
    void requestFailed(const QString& error);
    void requestEnded();
    void closeSession();
    void watch(PortalRequest* request, void (ShortcutBinderPortal::*answered)(uint, const QVariantMap&));
    Binding* bindingFor(const QString& key);

    SettingsStore& m_store;
    Log& m_log;
    QDBusConnection m_bus;
    std::vector<Binding> m_bindings;
    QString m_session;
    QPointer<PortalRequest> m_request;
    bool m_bindScheduled = false;
    // A change arrived while the portal was still answering the last one.
    bool m_bindAgain = false;
};
