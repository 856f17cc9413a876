// Another program on the session bus, for the tests of what Kestrelle meets there:
//   bus-peer watcher          a tray's StatusNotifierWatcher with a host: Kestrelle then serves its own
//                             item and menu, and their calls can be made without a desktop
//   bus-peer hold NAME quiet  owns NAME and never answers a call made to it
//   bus-peer hold NAME error  owns NAME and answers every call with an error
// Says "ready" on its standard output once it owns the name; runs until it is killed.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>

#include <cstdio>

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

class Peer final : public QDBusVirtualObject {
public:
    enum class Role { Watcher, Quiet, Error };
    explicit Peer(Role role) : m_role(role) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        switch (m_role) {
        case Role::Quiet:
            // Taken and left unanswered: the caller waits for its own timeout.
            return true;
        case Role::Error:
            connection.send(message.createErrorReply(QStringLiteral("org.example.Refused"),
                                                     QStringLiteral("not the program you are looking for")));
            return true;
        case Role::Watcher:
            break;
        }
        if (message.member() == QLatin1String("Get")) {
            const QString property = message.arguments().value(1).toString();
            QVariant value;
            if (property == QLatin1String("IsStatusNotifierHostRegistered"))
                value = true;
            else if (property == QLatin1String("ProtocolVersion"))
                value = 0;
            else
                value = QStringList();
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(value))));
        } else {
            connection.send(message.createReply());
        }
        return true;
    }

private:
    const Role m_role;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    const bool watcher = arguments == QStringList{QStringLiteral("watcher")};
    const bool hold =
        arguments.size() == 3 && arguments.at(0) == QLatin1String("hold") &&
        (arguments.at(2) == QLatin1String("quiet") || arguments.at(2) == QLatin1String("error"));
    if (!watcher && !hold) {
        std::fputs("usage: bus-peer watcher | bus-peer hold NAME quiet|error\n", stderr);
        return 2;
    }
    const Peer::Role role = watcher                                     ? Peer::Role::Watcher
                            : arguments.at(2) == QLatin1String("quiet") ? Peer::Role::Quiet
                                                                        : Peer::Role::Error;
    const QString name = watcher ? kWatcher : arguments.at(1);
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
