// Stands in for the desktop's portal, written from the published interfaces, for what no portal
// installed here does on demand: binding global shortcuts only through BindShortcuts, taking every
// preferred trigger as it is; a user who declines a binding or leaves its dialog open; a portal without
// an interface; screenshot answers before the reply, from someone else, or naming a file someone else
// writes. The tests steer it through /test (org.kestrelle.test.FakePortal) and its arguments:
//   --without-global-shortcuts, --without-screenshot  a portal without that interface
//   --screenshot-picture=FILE  each screenshot is a copy of FILE as it is at the request, saved in
//   --screenshot-folder=DIR    under a name whose URI needs escapes
//   --screenshot-response=CODE answer screenshots with CODE: 1 as if the user cancelled
//   --screenshot-uri=FILE      answer with FILE, written by someone else, and save nothing
//   --screenshot-answer=HOW    after-reply, before-reply: request objects named "<predicted>/<N>", as
//                              when the predicted name is taken, answered after or before the reply;
//                              forged: first answers from another connection on the request's path,
//                              and from the portal on another path of the caller's

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <functional>

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

using Shortcuts = QList<QPair<QString, QVariantMap>>;

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

// The VALUE of --NAME=VALUE among the arguments, "1" for --NAME alone; empty when not given.
QString argument(const char* name)
{
    const QString option = "--" + QLatin1String(name);
    for (const QString& argument : QCoreApplication::arguments()) {
        if (argument == option)
            return "1";
        if (argument.startsWith(option + '='))
            return argument.mid(option.size() + 1);
    }
    return {};
}

// The portal's rule: the caller's unique name without its ':' and with '_' for '.', then the token.
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

// Answers before the method's reply, which a portal may do: a client that listens only once it has
// the reply misses the answer.
void answer(const QDBusMessage& call, const QString& requestPath, uint code, const QVariantMap& results)
{
    respond(bus(), call, requestPath, code, results);
    bus().send(call.createReply(QVariant::fromValue(QDBusObjectPath(requestPath))));
}

} // namespace

// The state the portal keeps, and the tests' view of it.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kestrelle.test.FakePortal")

public:
    QMap<QString, bool> openSessions; // whether each has bound
    uint response = 0;
    // Bindings the user has not answered yet, as while the desktop's dialog is open.
    bool hold = false;
    QList<std::function<void()>> heldAnswers;
    uint binds = 0;
    Shortcuts bound;
    // What the last accepted binding took, which the portal offers the program's later sessions.
    Shortcuts taken;

public slots:
    // "binds N: ID=PREFERRED-TRIGGER ..." for the last binding. A session that the program left open, or
    // a binding in a session it does not hold, is refused: the program logs that.
    QString State() const
    {
        QStringList triggers;
        for (const auto& [id, properties] : bound)
            triggers.append(id + '=' + properties.value("preferred_trigger").toString());
        return QStringLiteral("binds %1: %2").arg(binds).arg(triggers.join(' '));
    }
    // The response code for the next bindings: 1 as if the user declined.
    void SetResponse(uint code) { response = code; }
    void Hold(bool on)
    {
        hold = on;
        while (!hold && !heldAnswers.isEmpty())
            heldAnswers.takeFirst()();
    }
};

// Every open session, each at its own path.
class Sessions : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")

public:
    explicit Sessions(FakePortal& portal) : m_portal(portal) {}

public slots:
    void Close(const QDBusMessage& message)
    {
        m_portal.openSessions.remove(message.path());
        bus().unregisterObject(message.path());
    }

private:
    FakePortal& m_portal;
};

class GlobalShortcuts : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    GlobalShortcuts(QObject* desktop, FakePortal& portal)
        : QDBusAbstractAdaptor(desktop), m_portal(portal), m_sessions(portal)
    {}
    uint version() const { return 1; }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& message)
    {
        message.setDelayedReply(true);
        const QString session = handlePath("session", message, options);
        if (m_portal.openSessions.contains(session)) {
            bus().send(message.createErrorReply(QDBusError::InvalidArgs, "Session exists"));
            return {};
        }
        m_portal.openSessions.insert(session, false);
        bus().registerObject(session, &m_sessions, QDBusConnection::ExportAllSlots);
        // Shortcuts offered here are left to BindShortcuts.
        answer(message, handlePath("request", message, options), 0,
               {{"session_handle", QVariant::fromValue(QDBusObjectPath(session))},
                {"shortcuts", QVariant::fromValue(m_portal.taken)}});
        return {};
    }

    QDBusObjectPath BindShortcuts(const QDBusObjectPath& session, const Shortcuts& shortcuts, const QString&,
                                  const QVariantMap& options, const QDBusMessage& message)
    {
        message.setDelayedReply(true);
        // A session binds once.
        const auto open = m_portal.openSessions.find(session.path());
        if (open == m_portal.openSessions.end() || *open) {
            bus().send(message.createErrorReply(QDBusError::AccessDenied, "Invalid session"));
            return {};
        }
        *open = true;
        ++m_portal.binds;
        m_portal.bound = shortcuts;
        const QString requestPath = handlePath("request", message, options);
        m_portal.heldAnswers.append([this, message, requestPath, shortcuts, code = m_portal.response] {
            if (code == 0)
                m_portal.taken = shortcuts;
            answer(message, requestPath, code, {{"shortcuts", QVariant::fromValue(shortcuts)}});
        });
        m_portal.Hold(m_portal.hold); // answers at once unless held
        return {};
    }

private:
    FakePortal& m_portal;
    Sessions m_sessions;
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
        ++m_count;
        const uint code = argument("screenshot-response").toUInt();
        QString saved = argument("screenshot-uri");
        if (saved.isEmpty() && code == 0) {
            saved = QDir(argument("screenshot-folder"))
                        .filePath(QStringLiteral("Screenshot %1 \u2013 Bildschirmfoto.png").arg(m_count));
            QFile::remove(saved);
            QFile::copy(argument("screenshot-picture"), saved);
        }
        QVariantMap results;
        if (!saved.isEmpty())
            results.insert("uri", QUrl::fromLocalFile(saved).toString(QUrl::FullyEncoded));
        QString path = handlePath("request", message, options);
        const QString how = argument("screenshot-answer");
        if (how.endsWith(QLatin1String("-reply")))
            path += QStringLiteral("/%1").arg(m_count);
        if (how == QLatin1String("forged")) {
            // Each names a picture of its own, a file that does not exist.
            const auto elsewhere = [](const char* name) {
                return QVariantMap{
                    {"uri", QStringLiteral("file:///nonexistent/%1.png").arg(QLatin1String(name))}};
            };
            respond(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "forger"), message, path, 0,
                    elsewhere("other-sender"));
            respond(bus(), message, path + "_other", 0, elsewhere("other-path"));
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
    int m_count = 0;
};

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    qDBusRegisterMetaType<Shortcuts::value_type>();
    qDBusRegisterMetaType<Shortcuts>();
    // Slots are matched to calls by the names of their parameter types.
    qRegisterMetaType<Shortcuts>("Shortcuts");
    FakePortal portal;
    // Each interface an adaptor of the one portal object.
    QObject desktop;
    if (argument("without-global-shortcuts").isEmpty())
        new GlobalShortcuts(&desktop, portal);
    if (argument("without-screenshot").isEmpty())
        new ScreenshotPortal(&desktop);
    // Objects first: once the name is owned, clients may call at once.
    if (!bus().registerObject(portalPath, &desktop, QDBusConnection::ExportAdaptors) ||
        !bus().registerObject("/test", &portal, QDBusConnection::ExportAllSlots) ||
        !bus().registerService("org.freedesktop.portal.Desktop")) {
        std::fprintf(stderr, "fake-portal: %s\n", qPrintable(bus().lastError().message()));
        return 1;
    }
    return application.exec();
}

#include "fake-portal.moc"
