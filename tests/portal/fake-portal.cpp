// Stands in for the desktop's portal service, written from the published interfaces, for what no
// portal installed here does on demand: binding global shortcuts only through BindShortcuts (taking
// every preferred trigger as it is), a user who declines a binding or leaves its dialog open, a portal
// without an interface, and screenshots whose answer comes in the forms and orders that portals use
// (a saved file's file:// URI, a cancel, a request path of the portal's own choosing). The tests steer
// and inspect it through /test, interface org.kestrelle.test.FakePortal, and through its arguments:
//   --without-global-shortcuts, --without-screenshot  a portal without that interface
//   --screenshot-picture=FILE    what each screenshot is: a copy of FILE as it is at the request
//   --screenshot-folder=DIR      where the screenshots are saved, as "Screenshot N – Bildschirmfoto.png"
//   --screenshot-response=CODE   answer screenshots with CODE: 1 as if the user cancelled
//   --screenshot-unpredicted-handle  name request objects "<predicted>/<N>", as a portal does when
//                                the predicted name is taken, and answer only after the method's reply
//   --screenshot-response-first  with an unpredicted handle: answer before the method's reply
//   --screenshot-uri=FILE        answer with FILE, written by someone else, and save nothing
//   --screenshot-forged-answers  before the answer, send the caller answers with another picture from
//                                another bus connection on the request's path, and from the portal on
//                                another path of the caller's

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QPair>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <functional>

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

using Shortcuts = QList<QPair<QString, QVariantMap>>;

struct Session {
    QString owner;
    bool bound = false;
    bool closed = false;
};

// The portal's rule: the caller's unique name without its ':' and with '_' for '.'.
QString handlePath(const QString& kind, const QString& sender, const QString& token)
{
    QString name = sender;
    name.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("%1/%2/%3/%4").arg(portalPath, kind, name, token);
}

} // namespace

// The state the portal keeps, and the test's view of it.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kestrelle.test.FakePortal")

public:
    explicit FakePortal(QDBusConnection bus) : m_bus(std::move(bus)) {}

    QMap<QString, Session> sessions;
    uint response = 0;
    // Bindings the user has not answered yet, as while the desktop's dialog is open.
    bool holdBindings = false;
    QList<std::function<void()>> heldAnswers;
    uint bindCount = 0;
    QString boundSession;
    Shortcuts bound;
    // What the last binding took, which the portal keeps for the program's later sessions.
    Shortcuts held;

    static void respond(QDBusConnection& bus, const QString& caller, const QString& requestPath, uint code,
                        const QVariantMap& results)
    {
        QDBusMessage signal = QDBusMessage::createTargetedSignal(
            caller, requestPath, QStringLiteral("org.freedesktop.portal.Request"),
            QStringLiteral("Response"));
        signal << code << results;
        bus.send(signal);
    }
    // Answers before the method's reply, which a portal may do: a client that listens only once it has
    // the reply misses the answer.
    void answer(const QDBusMessage& call, const QString& requestPath, uint code, const QVariantMap& results)
    {
        respond(m_bus, call.service(), requestPath, code, results);
        m_bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(requestPath))));
    }

public slots:
    QStringList OpenSessions() const
    {
        QStringList open;
        for (auto it = sessions.begin(); it != sessions.end(); ++it) {
            if (!it->closed)
                open.append(it.key());
        }
        return open;
    }
    uint BindCount() const { return bindCount; }
    QString BoundSession() const { return boundSession; }
    Shortcuts Bound() const { return bound; }
    // The response code for the next bindings: 1 as if the user declined.
    void SetResponse(uint code) { response = code; }
    void HoldBindings() { holdBindings = true; }
    void AnswerHeldBindings()
    {
        holdBindings = false;
        for (const auto& answer : std::as_const(heldAnswers))
            answer();
        heldAnswers.clear();
    }

private:
    QDBusConnection m_bus;
};

class SessionObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")

public:
    SessionObject(FakePortal& portal, QString path, QDBusConnection bus)
        : m_portal(portal), m_path(std::move(path)), m_bus(std::move(bus))
    {}

public slots:
    void Close()
    {
        m_portal.sessions[m_path].closed = true;
        m_bus.unregisterObject(m_path);
        deleteLater();
    }

private:
    FakePortal& m_portal;
    QString m_path;
    QDBusConnection m_bus;
};

class GlobalShortcuts : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    GlobalShortcuts(QObject* desktop, FakePortal& portal, QDBusConnection bus)
        : QDBusAbstractAdaptor(desktop), m_portal(portal), m_bus(std::move(bus))
    {}
    uint version() const { return 1; }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& message)
    {
        message.setDelayedReply(true);
        const QString sessionPath =
            handlePath(QStringLiteral("session"), message.service(),
                       options.value(QStringLiteral("session_handle_token")).toString());
        const QString requestPath = handlePath(QStringLiteral("request"), message.service(),
                                               options.value(QStringLiteral("handle_token")).toString());
        if (m_portal.sessions.contains(sessionPath) && !m_portal.sessions[sessionPath].closed) {
            m_bus.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("Session exists")));
            return {};
        }
        m_portal.sessions.insert(sessionPath, {message.service()});
        m_bus.registerObject(sessionPath, new SessionObject(m_portal, sessionPath, m_bus),
                             QDBusConnection::ExportAllSlots);
        // Shortcuts offered here are left to BindShortcuts.
        m_portal.answer(
            message, requestPath, 0,
            {{QStringLiteral("session_handle"), QVariant::fromValue(QDBusObjectPath(sessionPath))},
             {QStringLiteral("shortcuts"), QVariant::fromValue(m_portal.held)}});
        return {};
    }

    QDBusObjectPath BindShortcuts(const QDBusObjectPath& sessionHandle, const Shortcuts& shortcuts,
                                  const QString&, const QVariantMap& options, const QDBusMessage& message)
    {
        message.setDelayedReply(true);
        auto session = m_portal.sessions.find(sessionHandle.path());
        // A session binds once, and only for the client that created it.
        if (session == m_portal.sessions.end() || session->closed || session->bound ||
            session->owner != message.service()) {
            m_bus.send(message.createErrorReply(QDBusError::AccessDenied, QStringLiteral("Invalid session")));
            return {};
        }
        session->bound = true;
        ++m_portal.bindCount;
        m_portal.boundSession = sessionHandle.path();
        m_portal.bound = shortcuts;
        Shortcuts taken;
        for (const auto& [id, properties] : shortcuts) {
            taken.append({id,
                          {{QStringLiteral("description"), properties.value(QStringLiteral("description"))},
                           {QStringLiteral("trigger_description"),
                            properties.value(QStringLiteral("preferred_trigger"))}}});
        }
        const QString requestPath = handlePath(QStringLiteral("request"), message.service(),
                                               options.value(QStringLiteral("handle_token")).toString());
        const QVariantMap results{{QStringLiteral("shortcuts"), QVariant::fromValue(taken)}};
        const auto answer = [this, message, requestPath, code = m_portal.response, results, taken] {
            if (code == 0)
                m_portal.held = taken;
            m_portal.answer(message, requestPath, code, results);
        };
        if (m_portal.holdBindings)
            m_portal.heldAnswers.append(answer);
        else
            answer();
        return {};
    }

private:
    FakePortal& m_portal;
    QDBusConnection m_bus;
};

// The value of --NAME=VALUE among the arguments; empty when not given.
QString argumentValue(const QStringList& arguments, const char* name)
{
    const QString prefix = QStringLiteral("--%1=").arg(QLatin1String(name));
    for (const QString& argument : arguments) {
        if (argument.startsWith(prefix))
            return argument.mid(prefix.size());
    }
    return {};
}

class ScreenshotPortal : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
    Q_PROPERTY(uint version READ version)

public:
    ScreenshotPortal(QObject* desktop, FakePortal& portal, QDBusConnection bus, const QStringList& arguments)
        : QDBusAbstractAdaptor(desktop), m_portal(portal), m_bus(std::move(bus)),
          m_picture(argumentValue(arguments, "screenshot-picture")),
          m_folder(argumentValue(arguments, "screenshot-folder")),
          m_uri(argumentValue(arguments, "screenshot-uri")),
          m_response(argumentValue(arguments, "screenshot-response").toUInt()),
          m_unpredictedHandle(arguments.contains(QStringLiteral("--screenshot-unpredicted-handle"))),
          m_responseFirst(arguments.contains(QStringLiteral("--screenshot-response-first"))),
          m_forgedAnswers(arguments.contains(QStringLiteral("--screenshot-forged-answers")))
    {}
    uint version() const { return 2; }

public slots:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& options, const QDBusMessage& message)
    {
        message.setDelayedReply(true);
        ++m_count;
        QVariantMap results;
        QString saved = m_uri;
        if (saved.isEmpty() && m_response == 0) {
            // A name with a space and letters beyond ASCII, so that the URI carries escapes.
            saved = QDir(m_folder).filePath(
                QStringLiteral("Screenshot %1 \u2013 Bildschirmfoto.png").arg(m_count));
            QFile::remove(saved);
            if (!QFile::copy(m_picture, saved)) {
                m_bus.send(
                    message.createErrorReply(QDBusError::Failed, QStringLiteral("Cannot save ") + saved));
                return {};
            }
        }
        if (!saved.isEmpty())
            results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(saved).toString(QUrl::FullyEncoded));
        QString path = handlePath(QStringLiteral("request"), message.service(),
                                  options.value(QStringLiteral("handle_token")).toString());
        if (m_unpredictedHandle)
            path += QStringLiteral("/%1").arg(m_count);
        if (m_forgedAnswers)
            forgeAnswers(message.service(), path);
        if (!m_forgedAnswers && (!m_unpredictedHandle || m_responseFirst)) {
            m_portal.answer(message, path, m_response, results);
            return {};
        }
        m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
        QTimer::singleShot(100, this, [this, message, path, results] {
            FakePortal::respond(m_bus, message.service(), path, m_response, results);
        });
        return {};
    }

private:
    // Answers that are not the portal's to this request: each names a picture of its own, a file
    // that does not exist.
    void forgeAnswers(const QString& caller, const QString& requestPath)
    {
        const auto forged = [](const char* name) {
            return QVariantMap{{QStringLiteral("uri"),
                                QStringLiteral("file:///nonexistent/%1.png").arg(QLatin1String(name))}};
        };
        QDBusConnection other =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("forger"));
        FakePortal::respond(other, caller, requestPath, 0, forged("other-sender"));
        FakePortal::respond(m_bus, caller, requestPath + QStringLiteral("_other"), 0, forged("other-path"));
    }

    FakePortal& m_portal;
    QDBusConnection m_bus;
    const QString m_picture, m_folder, m_uri;
    const uint m_response;
    const bool m_unpredictedHandle, m_responseFirst, m_forgedAnswers;
    int m_count = 0;
};

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    qDBusRegisterMetaType<Shortcuts::value_type>();
    qDBusRegisterMetaType<Shortcuts>();
    // Slots are matched to calls by the names of their parameter types.
    qRegisterMetaType<Shortcuts>("Shortcuts");
    QDBusConnection bus = QDBusConnection::sessionBus();
    FakePortal portal(bus);
    const QStringList arguments = application.arguments();
    // Each interface an adaptor of the one portal object, which the parent owns; the two are never
    // left out together.
    QObject desktop;
    if (!arguments.contains(QStringLiteral("--without-global-shortcuts")))
        new GlobalShortcuts(&desktop, portal, bus);
    if (!arguments.contains(QStringLiteral("--without-screenshot")))
        new ScreenshotPortal(&desktop, portal, bus, arguments);
    // Objects first: once the name is owned, clients may call at once.
    const bool ready =
        bus.registerObject(portalPath, &desktop, QDBusConnection::ExportAdaptors) &&
        bus.registerObject(QStringLiteral("/test"), &portal, QDBusConnection::ExportAllSlots) &&
        bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    if (!ready) {
        std::fprintf(stderr, "fake-portal: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    return application.exec();
}

#include "fake-portal.moc"
