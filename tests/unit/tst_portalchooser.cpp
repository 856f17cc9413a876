#include "RecordingLog.h"
#include "portal/DesktopPortal.h"
#include "ui/PortalDirectoryChooser.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTest>
#include <QTimer>

namespace {

// The portal's folder chooser, on a connection of its own: each request answered at once with the URI set.
class FakeFileChooser : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")

public:
    explicit FakeFileChooser(QDBusConnection bus) : m_bus(std::move(bus)) {}
    QString uri;

public slots:
    QDBusObjectPath OpenFile(const QString&, const QString&, const QVariantMap& options,
                             const QDBusMessage& call)
    {
        QString sender = call.service();
        sender.remove(0, 1).replace(u'.', u'_');
        const QString path =
            QStringLiteral("%1/request/%2/%3")
                .arg(desktopPortal::path, sender, options.value(QStringLiteral("handle_token")).toString());
        QTimer::singleShot(0, this, [this, path] {
            QDBusMessage response =
                QDBusMessage::createSignal(path, desktopPortal::requestInterface, QStringLiteral("Response"));
            response << 0u << QVariantMap{{QStringLiteral("uris"), QStringList{uri}}};
            m_bus.send(response);
        });
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection m_bus;
};

// Stands in for Kestrelle's own chooser, which a portal that answers never needs.
class NoFallback final : public DirectoryChooser {
public:
    void begin(const QString&, Completion) override { QFAIL("the portal's chooser was not used"); }
};

} // namespace

class PortalChooserTest : public QObject {
    Q_OBJECT

private:
    QDBusConnection m_portalBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("portal"));
    FakeFileChooser m_portal{m_portalBus};

private slots:
    void initTestCase()
    {
        QVERIFY(m_portalBus.registerObject(desktopPortal::path, &m_portal, QDBusConnection::ExportAllSlots));
        QVERIFY(m_portalBus.registerService(desktopPortal::service));
    }

    // Only a folder on this machine, named by its whole path, reaches the capture; anything else is one
    // line in the log and no capture.
    void onlyALocalFolderByItsWholePathIsChosen_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("directory");
        for (const auto& [uri, directory] : std::initializer_list<std::pair<const char*, const char*>>{
                 {"file:///tmp/shots", "/tmp/shots"},
                 {"file:///tmp/shots/", "/tmp/shots"},
                 {"file:///tmp/my%20shots", "/tmp/my shots"},
                 {"file:///", "/"},
                 {"file:-c", nullptr},    // an option
                 {"file:shots", nullptr}, // a relative path
                 {"file://server/shots", nullptr},
                 {"https://example.org/shots", nullptr},
                 {"file:///tmp/a%00b", nullptr}, // a cut name
                 {"/tmp/shots", nullptr},        // not a URI
             })
            QTest::newRow(uri) << uri << QString(directory);
    }
    void onlyALocalFolderByItsWholePathIsChosen()
    {
        QFETCH(QString, uri);
        QFETCH(QString, directory);
        m_portal.uri = uri;
        RecordingLog log;
        PortalDirectoryChooser chooser(QDBusConnection::sessionBus(), std::make_unique<NoFallback>(), log);
        std::vector<std::pair<qint64, QString>> answers;
        chooser.begin(QStringLiteral("Save"), [&answers](qint64 response, const QString& chosen) {
            answers.emplace_back(response, chosen);
        });
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), size_t(1), 5000);
        if (directory.isEmpty()) {
            QCOMPARE(answers.front().first, DirectoryChooser::kResponseCancel);
            QCOMPARE(log.lines.size(), 1);
            QVERIFY2(log.lines.constFirst().contains(uri) &&
                         log.lines.constFirst().endsWith(QStringLiteral("no screenshot was taken")),
                     qPrintable(log.lines.constFirst()));
        } else {
            QCOMPARE(answers.front(), std::make_pair(DirectoryChooser::kResponseOK, directory));
            QVERIFY(log.lines.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(PortalChooserTest)
#include "tst_portalchooser.moc"
