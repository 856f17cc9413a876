// Another program on the session bus, for the tests of what Kestrelle meets there:
//   bus-peer watcher          a tray's StatusNotifierWatcher with a host: Kestrelle then serves its own
//                             item and menu, and their calls can be made without a desktop
//   bus-peer portal           a desktop portal whose folder choosers stay open: it says "chooser" for each
//                             and never answers it; any other call gets an error
//   bus-peer hold NAME quiet  owns NAME and never answers a call made to it
//   bus-peer hold NAME error  owns NAME and answers every call with an error
// Each says "ready" on its standard output once it owns the name, and runs until it is killed.
//   bus-peer clicks COUNT ID...  COUNT clicks on Kestrelle's menu entries, the IDs in turn
//   bus-peer actions COUNT NAME  COUNT calls of Kestrelle's action NAME
// These send every call at once, as fast as one program can, and exit once each has its answer.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDBusVirtualObject>

#include <cstdio>
#include <utility>

namespace {

enum class Role { Watcher, Portal, Quiet, Error };

class Peer final : public QDBusVirtualObject {
public:
    explicit Peer(Role role) : m_role(role) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (m_role == Role::Quiet) // the caller waits for its own timeout
            return true;
        if (m_role == Role::Portal && message.member() == QLatin1String("OpenFile")) {
            // The request's path as the caller computed it from its token: it listens there.
            QString sender = message.service().mid(1).replace(u'.', u'_');
            const QString token =
                qdbus_cast<QVariantMap>(message.arguments().value(2)).value("handle_token").toString();
            connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(
                QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token)))));
            std::puts("chooser");
            std::fflush(stdout);
        } else if (m_role != Role::Watcher) {
            connection.send(message.createErrorReply(QStringLiteral("org.example.Refused"),
                                                     QStringLiteral("not the program you are looking for")));
        } else if (message.member() == QLatin1String("Get")) {
            const QString property = message.arguments().value(1).toString();
            const QVariant value = property == QLatin1String("IsStatusNotifierHostRegistered")
                                       ? QVariant(true)
                                   : property == QLatin1String("ProtocolVersion") ? QVariant(0)
                                                                                  : QVariant(QStringList());
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(value))));
        } else {
            connection.send(message.createReply());
        }
        return true;
    }

private:
    const Role m_role;
};

// COUNT calls, sent without waiting for their answers but in batches: a bus lets a connection wait for
// 128 answers at most. Exits with 0 when none was an error.
int flood(const QStringList& arguments)
{
    constexpr int kBatch = 100;
    const QString kestrelle = QStringLiteral("io.github.kestrelle.Kestrelle");
    const bool clicks = arguments.at(0) == QLatin1String("clicks");
    const QDBusConnection bus = QDBusConnection::sessionBus();
    QList<QDBusPendingCall> pending;
    int errors = 0;
    for (int i = 0, count = arguments.at(1).toInt(); i < count; ++i) {
        QDBusMessage call =
            clicks
                ? QDBusMessage::createMethodCall(kestrelle, QStringLiteral("/MenuBar"),
                                                 QStringLiteral("com.canonical.dbusmenu"),
                                                 QStringLiteral("Event"))
                : QDBusMessage::createMethodCall(kestrelle, QStringLiteral("/io/github/kestrelle/Kestrelle"),
                                                 QStringLiteral("org.freedesktop.Application"),
                                                 QStringLiteral("ActivateAction"));
        if (clicks)
            call << arguments.at(2 + i % (arguments.size() - 2)).toInt() << QStringLiteral("clicked")
                 << QVariant::fromValue(QDBusVariant(0)) << 0u;
        else
            call << arguments.at(2) << QVariantList() << QVariantMap();
        pending << bus.asyncCall(call, 60000);
        if (pending.size() < kBatch && i + 1 < count)
            continue;
        for (QDBusPendingCall& each : std::exchange(pending, {})) {
            each.waitForFinished();
            if (each.isError() && errors++ == 0)
                std::fprintf(stderr, "bus-peer: %s\n", qPrintable(each.error().message()));
        }
    }
    return errors == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    const QString command = arguments.value(0);
    if (arguments.size() >= 3 && (command == QLatin1String("clicks") || command == QLatin1String("actions")))
        return flood(arguments);
    Role role = Role::Watcher;
    QString name = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (arguments == QStringList{QStringLiteral("portal")}) {
        role = Role::Portal;
        name = QStringLiteral("org.freedesktop.portal.Desktop");
    } else if (arguments.size() == 3 && command == QLatin1String("hold") &&
               (arguments.at(2) == QLatin1String("quiet") || arguments.at(2) == QLatin1String("error"))) {
        role = arguments.at(2) == QLatin1String("quiet") ? Role::Quiet : Role::Error;
        name = arguments.at(1);
    } else if (arguments != QStringList{QStringLiteral("watcher")}) {
        std::fputs("usage: bus-peer watcher | portal | hold NAME quiet|error | clicks COUNT ID... | "
                   "actions COUNT NAME\n",
                   stderr);
        return 2;
    }
    Peer peer(role);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/"), &peer, QDBusConnection::SubPath) ||
        !bus.registerService(name)) {
        std::fprintf(stderr, "bus-peer: could not own %s\n", qPrintable(name));
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
