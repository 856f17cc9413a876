// Stands in for the desktop's portal where no installed one answers on demand. Options: --without-global-
// shortcuts, --without-screenshot, --bind-response=CODE, --list-shortcuts-only (a session's shortcuts told
// only by ListShortcuts, as by Plasma 6), --registry[=ERROR] (a registry that takes any id, or answers
// ERROR), --screenshot-picture=FILE (copied into --screenshot-folder=DIR at each request),
// --screenshot-response=CODE, --screenshot-uri=FILE (answered, nothing saved), --screenshot-answer=forged|
// after-reply|before-reply (the last two on another path than predicted) or =flood (a reply, then only
// signals to the caller while it is on the bus, 100 s at most).

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTimer>
#include <QUrl>

#include <functional>

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

using Shortcuts = QList<QPair<QString, QVariantMap>>;

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

QString argument(const char* name)
{
    const QString option = "--" + QLatin1String(name) + '=';
    for (const QString& argument : QCoreApplication::arguments()) {
        if (argument.startsWith(option))
            return argument.mid(option.size());
    }
    return {};
}

QString handlePath(const char* kind, const QDBusMessage& call, const QVariantMap& options)
{
    const QString token =
        options.value(QLatin1String(qstrcmp(kind, "session") ? "handle_token" : "session_handle_token"))
            .toString();
    const QString caller = call.service().mid(1).replace('.', '_');
    return QStringLiteral("%1/%2/%3/%4").arg(portalPath, QLatin1String(kind), caller, token);
}

void respond(QDBusConnection connection, const QDBusMessage& call, const QString& requestPath, uint code,
             const QVariantMap& results)
{
    QDBusMessage signal = QDBusMessage::createTargetedSignal(call.service(), requestPath,
                                                             "org.freedesktop.portal.Request", "Response");
    signal << code << results;
    connection.send(signal);
}

// Before the method's reply, as a portal may: a client that listens only once it has the reply misses it.
void answer(const QDBusMessage& call, const QString& requestPath, uint code, const QVariantMap& results)
{
    respond(bus(), call, requestPath, code, results);
    bus().send(call.createReply(QVariant::fromValue(QDBusObjectPath(requestPath))));
}

} // namespace

class Sessions : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")

public:
    QMap<QString, bool> open; // whether each has bound

public slots:
    void Close(const QDBusMessage& message)
    {
        open.remove(message.path());
        bus().unregisterObject(message.path());
    }
};

// Also at /test, for the tests' State, Press, Hold and EndSessions.
class GlobalShortcuts : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    explicit GlobalShortcuts(QObject* desktop) : QDBusAbstractAdaptor(desktop) {}
    uint version() const { return 1; }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& message)
    {
        message.setDelayedReply(true);
        const QString session = handlePath("session", message, options);
        if (m_sessions.open.contains(session)) {
            bus().send(message.createErrorReply(QDBusError::InvalidArgs, "Session exists"));
            return {};
        }
        m_sessions.open.insert(session, false);
        bus().registerObject(session, &m_sessions, QDBusConnection::ExportAllSlots);
        QVariantMap results{{"session_handle", QVariant::fromValue(QDBusObjectPath(session))}};
        if (!QCoreApplication::arguments().contains("--list-shortcuts-only"))
            results.insert("shortcuts", QVariant::fromValue(m_taken));
        answer(message, handlePath("request", message, options), 0, results);
        return {};
    }

    QDBusObjectPath ListShortcuts(const QDBusObjectPath& session, const QVariantMap& options,
                                  const QDBusMessage& message)
    {
        message.setDelayedReply(true);
        if (!m_sessions.open.contains(session.path())) {
            bus().send(message.createErrorReply(QDBusError::AccessDenied, "Invalid session"));
            return {};
        }
        answer(message, handlePath("request", message, options), 0,
               {{"shortcuts", QVariant::fromValue(m_taken)}});
        return {};
    }

    QDBusObjectPath BindShortcuts(const QDBusObjectPath& session, const Shortcuts& shortcuts, const QString&,
                                  const QVariantMap& options, const QDBusMessage& message)
    {
        message.setDelayedReply(true);
        const auto open = m_sessions.open.find(session.path());
        if (open == m_sessions.open.end() || *open) {
            bus().send(message.createErrorReply(QDBusError::AccessDenied, "Invalid session"));
            return {};
        }
        *open = true;
        ++m_binds;
        m_bound = shortcuts;
        const QString requestPath = handlePath("request", message, options);
        m_held.append([this, message, requestPath, shortcuts, code = argument("bind-response").toUInt()] {
            if (code == 0)
                m_taken = shortcuts; // offered to later sessions
            answer(message, requestPath, code, {{"shortcuts", QVariant::fromValue(shortcuts)}});
        });
        Hold(m_hold); // answers at once unless held
        return {};
    }

    // "binds N: ID=PREFERRED-TRIGGER ..." for the last binding.
    QString State() const
    {
        QStringList triggers;
        for (const auto& [id, properties] : m_bound)
            triggers.append(id + '=' + properties.value("preferred_trigger").toString());
        return QStringLiteral("binds %1: %2").arg(m_binds).arg(triggers.join(' '));
    }
    // As when the program's connection closes.
    void EndSessions()
    {
        for (const QString& session : m_sessions.open.keys())
            bus().unregisterObject(session);
        m_sessions.open.clear();
    }
    // As when the user presses the shortcut ID: each session that bound is told.
    void Press(const QString& id)
    {
        for (auto session = m_sessions.open.cbegin(); session != m_sessions.open.cend(); ++session) {
            if (!*session)
                continue;
            QDBusMessage signal =
                QDBusMessage::createSignal(portalPath, "org.freedesktop.portal.GlobalShortcuts", "Activated");
            signal << QVariant::fromValue(QDBusObjectPath(session.key())) << id << qulonglong(0)
                   << QVariantMap();
            bus().send(signal);
        }
    }
    // As while the desktop's dialog is open.
    void Hold(bool on)
    {
        m_hold = on;
        while (!m_hold && !m_held.isEmpty())
            m_held.takeFirst()();
    }

private:
    Sessions m_sessions;
    bool m_hold = false;
    QList<std::function<void()>> m_held;
    uint m_binds = 0;
    Shortcuts m_bound, m_taken;
};

class HostRegistry : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.host.portal.Registry")

public:
    explicit HostRegistry(QObject* desktop) : QDBusAbstractAdaptor(desktop) {}

public slots:
    void Register(const QString&, const QVariantMap&, const QDBusMessage& message)
    {
        if (const QString error = argument("registry"); !error.isEmpty()) {
            message.setDelayedReply(true);
            bus().send(message.createErrorReply("org.freedesktop.portal.Error.Failed", error));
        }
    }
};

class ScreenshotPortal : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public:
    explicit ScreenshotPortal(QObject* desktop) : QDBusAbstractAdaptor(desktop) {}

public slots:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& options, const QDBusMessage& message)
    {
        message.setDelayedReply(true);
        static int count = 0;
        ++count;
        const uint code = argument("screenshot-response").toUInt();
        QString saved = argument("screenshot-uri");
        if (saved.isEmpty() && code == 0) {
            saved = QDir(argument("screenshot-folder"))
                        .filePath(QStringLiteral("Screenshot %1 \u2013 Bildschirmfoto.png").arg(count));
            QFile::remove(saved);
            QFile::copy(argument("screenshot-picture"), saved);
        }
        QVariantMap results;
        if (!saved.isEmpty())
            results.insert("uri", QUrl::fromLocalFile(saved).toString(QUrl::FullyEncoded));
        QString path = handlePath("request", message, options);
        const QString how = argument("screenshot-answer");
        if (how == QLatin1String("flood")) {
            bus().send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
            flood(message.service());
            return {};
        }
        if (how.endsWith(QLatin1String("-reply")))
            path += QStringLiteral("/%1").arg(count);
        if (how == QLatin1String("forged")) {
            const QVariantMap nowhere{{"uri", "file:///nonexistent.png"}};
            respond(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "forger"), message, path, 0,
                    nowhere);
            respond(bus(), message, path + "_other", 0, nowhere);
        }
        if (how.isEmpty() || how == QLatin1String("before-reply")) {
            answer(message, path, code, results);
            return {};
        }
        bus().send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
        QTimer::singleShot(100, this,
                           [message, path, code, results] { respond(bus(), message, path, code, results); });
        return {};
    }

private:
    // Signals to `caller`, a thousand at a time, for as long as it is on the bus.
    void flood(const QString& caller)
    {
        auto* timer = new QTimer(this);
        const auto end = QDateTime::currentDateTime().addSecs(100);
        connect(timer, &QTimer::timeout, this, [timer, caller, end] {
            if (!bus().interface()->isServiceRegistered(caller) || QDateTime::currentDateTime() > end) {
                timer->deleteLater();
                return;
            }
            for (int i = 0; i < 1000; ++i)
                bus().send(
                    QDBusMessage::createTargetedSignal(caller, "/test", "org.kestrelle.Test", "Flood"));
        });
        timer->start(0);
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    qDBusRegisterMetaType<Shortcuts::value_type>();
    qDBusRegisterMetaType<Shortcuts>();
    qRegisterMetaType<Shortcuts>("Shortcuts"); // slots are matched to calls by their types' names
    QObject desktop;
    if (!application.arguments().contains("--without-global-shortcuts"))
        bus().registerObject("/test", new GlobalShortcuts(&desktop), QDBusConnection::ExportAllSlots);
    if (application.arguments().contains("--registry") || !argument("registry").isEmpty())
        new HostRegistry(&desktop);
    if (!application.arguments().contains("--without-screenshot"))
        new ScreenshotPortal(&desktop);
    // Objects first: once the name is owned, clients may call at once.
    if (!bus().registerObject(portalPath, &desktop, QDBusConnection::ExportAdaptors) ||
        !bus().registerService("org.freedesktop.portal.Desktop")) {
        qCritical("fake-portal: %s", qPrintable(bus().lastError().message()));
        return 1;
    }
    return application.exec();
}

#include "fake-portal.moc"
