#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class QDBusPendingCallWatcher;

// One call to a desktop portal method that answers later, through the Response signal of the Request
// object the call creates. Emits exactly one of its signals, once.
class PortalRequest final : public QObject {
    Q_OBJECT

public:
    // Calls the method on the portal's object with the arguments and then the options, to which it adds
    // the handle_token.
    PortalRequest(const QDBusConnection& bus, const QString& interface, const QString& method,
                  QVariantList arguments, QVariantMap options, QObject* parent = nullptr);

    // The portal's path for the Request object of a token: known before the call, so that the answer
    // cannot arrive before anyone listens for it. Sessions are named the same way.
    static QString handlePath(const QDBusConnection& bus, const QString& kind, const QString& token);
    // A new token, valid as an object path element.
    static QString newToken();

signals:
    // response: 0 done, 1 cancelled by the user, 2 ended otherwise.
    void answered(uint response, const QVariantMap& results);
    // The call itself failed: no portal, or it refused the arguments.
    void failed(const QString& error);

private slots:
    void responded(uint response, const QVariantMap& results);

private:
    void called(QDBusPendingCallWatcher* watcher);
    void listen(const QString& path);
    void stopListening();

    QDBusConnection m_bus;
    QString m_path;
    bool m_done = false;
};
