// Stands in for a Wayland desktop's tray on a private session bus, written from the published
// StatusNotifierWatcher interface: owns org.kde.StatusNotifierWatcher, says that a host is registered,
// and keeps the items that register until their owners leave the bus. Prints "registered ITEM" and
// "unregistered ITEM" on stdout as they come, so a test can wait for them.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

#include <cstdio>

class StatusNotifierWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit StatusNotifierWatcher(const QDBusConnection& bus)
        : m_owners(QString(), bus, QDBusServiceWatcher::WatchForUnregistration)
    {
        connect(&m_owners, &QDBusServiceWatcher::serviceUnregistered, this,
                &StatusNotifierWatcher::ownerLeft);
    }

    QStringList registeredItems() const { return m_items.keys(); }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    // An item names itself by its bus name, or by its object path on the caller's connection.
    void RegisterStatusNotifierItem(const QString& serviceOrPath)
    {
        const QString owner = message().service();
        const QString item =
            serviceOrPath.startsWith(QLatin1Char('/')) ? owner + serviceOrPath : serviceOrPath;
        if (m_items.contains(item))
            return;
        m_items.insert(item, owner);
        m_owners.addWatchedService(owner);
        report("registered", item);
        emit StatusNotifierItemRegistered(item);
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    void ownerLeft(const QString& owner)
    {
        for (const QString& item : m_items.keys(owner)) {
            m_items.remove(item);
            report("unregistered", item);
            emit StatusNotifierItemUnregistered(item);
        }
        m_owners.removeWatchedService(owner);
    }
    static void report(const char* what, const QString& item)
    {
        std::printf("%s %s\n", what, qPrintable(item));
        std::fflush(stdout);
    }

    QDBusServiceWatcher m_owners;
    // Each item with the unique name of the connection that registered it.
    QMap<QString, QString> m_items;
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    StatusNotifierWatcher watcher(bus);
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "status-notifier-watcher: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    return QCoreApplication::exec();
}

#include "status-notifier-watcher.moc"
