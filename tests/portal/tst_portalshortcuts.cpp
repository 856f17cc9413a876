// The binder the factory picks in a Wayland session, against the fake portal on a private session bus:
// portals that bind only through BindShortcuts (Plasma 5.27 binds when the session opens:
// tests/desktops/kde-shortcuts.sh), and a user who declines a binding or leaves its dialog open.

#include "RecordingLog.h"
#include "portal/PortalRegistry.h"
#include "settings/SettingsStore.h"
#include "shortcuts/ShortcutBinder.h"
#include "shortcuts/ShortcutBinderFactory.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString captureKey = QStringLiteral("CaptureShortcut");
const QString clipboardKey = QStringLiteral("CaptureClipboardShortcut");
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");

bool portalOnBus()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(portalService);
}

// Steers the fake portal, or asks it what it was asked.
QString control(const char* method, const QVariantList& arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, "/test", "org.freedesktop.portal.GlobalShortcuts", QLatin1String(method));
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call).arguments().value(0).toString();
}

QString bound(int binds, const char* capture)
{
    return QStringLiteral("binds %1: CaptureShortcut=%2 CaptureClipboardShortcut=SHIFT+LOGO+Prior")
        .arg(QString::number(binds), QLatin1String(capture));
}

} // namespace

class PortalShortcutsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_log.lines.clear();
        m_fired.clear();
        m_store = std::make_unique<SettingsStore>(m_dir.filePath("Kestrelle.conf"), m_log);
        // A letter by its unshifted keysym, another key by its keysym's name.
        m_store->setObject("Ctrl+Alt+A", captureKey);
        m_store->setObject("Shift+Meta+PgUp", clipboardKey);
    }

    void cleanup()
    {
        m_binder.reset();
        m_store.reset();
        if (m_portal.state() != QProcess::NotRunning) {
            m_portal.kill();
            m_portal.waitForFinished();
        }
        QTRY_VERIFY(!portalOnBus());
    }

    // Binding at every start would ask the user every time. Plasma 6 tells what a session holds only
    // when asked.
    void aStartBindsOnlyWhatTheDesktopLacks_data()
    {
        QTest::addColumn<QStringList>("portal");
        QTest::newRow("held told with the session") << QStringList();
        QTest::newRow("held told when asked") << QStringList{"--list-shortcuts-only"};
    }

    void aStartBindsOnlyWhatTheDesktopLacks()
    {
        QFETCH(QStringList, portal);
        QVERIFY(startPortal(portal));
        m_binder = makeShortcutBinder(*m_store, m_log);
        m_binder->bindShortcutWithDefaultsKey(captureKey, [] {});
        QTRY_COMPARE(control("State"), QStringLiteral("binds 1: CaptureShortcut=CTRL+ALT+a"));
        for (const int binds : {2, 2}) {
            // As at the next start: the program's session ended with its connection.
            m_binder.reset();
            control("EndSessions");
            bindBoth();
            QTest::qWait(200);
            QTRY_COMPARE(control("State"), bound(binds, "CTRL+ALT+a"));
        }
        QCOMPARE(m_log.lines, QStringList());
    }

    void bindsOnceAndAgainForANewTriggerOnceTheDesktopAnswered()
    {
        QVERIFY(startPortal({}));
        bindBoth();
        QTRY_COMPARE(control("State"), bound(1, "CTRL+ALT+a"));
        // A press the desktop reports starts that shortcut's capture, once.
        control("Press", {clipboardKey});
        QTRY_COMPARE(m_fired, QStringList{clipboardKey});
        // Binding again for nothing would ask the user again.
        m_store->setObject("png", "FileType");
        QTest::qWait(100);
        QCOMPARE(control("State"), bound(1, "CTRL+ALT+a"));

        // The portal holds both, but not with the new trigger; the new session takes the old one's name.
        m_store->setObject("Alt+/", captureKey);
        QTRY_COMPARE(control("State"), bound(2, "ALT+slash"));

        // A change while the desktop asks about the last one waits for its answer.
        control("Hold", {true});
        m_store->setObject("Ctrl+Alt+5", captureKey);
        QTRY_VERIFY(control("State").startsWith("binds 3:"));
        m_store->setObject("Ctrl+Alt+6", captureKey);
        QTest::qWait(100);
        QVERIFY(control("State").startsWith("binds 3:"));
        control("Hold", {false});
        QTRY_COMPARE(control("State"), bound(4, "CTRL+ALT+6"));
        // The new session's presses are heard as the first one's were.
        control("Press", {captureKey});
        QTRY_COMPARE(m_fired, (QStringList{clipboardKey, captureKey}));
        QCOMPARE(m_log.lines, QStringList());
        QVERIFY(m_binder->firesShortcuts());
    }

    void whatBindsNothingIsSaidOncePerAnswer_data()
    {
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("lines");      // after a new trigger is stored
        QTest::addColumn<QString>("portal"); // the fake portal's argument, or "none" on the bus
        QTest::newRow("declined, and again for a new trigger") << "declined" << 2 << "--bind-response=1";
        QTest::newRow("no portal on the bus") << "not available" << 1 << "none";
        QTest::newRow("no global shortcuts") << "not available" << 1 << "--without-global-shortcuts";
    }

    // Once refused, the shortcuts window offers the commands to bind in the desktop's settings instead.
    void whatBindsNothingIsSaidOncePerAnswer()
    {
        QFETCH(QString, portal);
        QFETCH(QString, said);
        QFETCH(int, lines);
        if (portal != QLatin1String("none"))
            QVERIFY(startPortal({portal}));
        bindBoth();
        QSignalSpy refusals(m_binder.get(), &ShortcutBinder::refusedByDesktop);
        QTRY_COMPARE(m_log.lines.size(), 1);
        m_store->setObject("Ctrl+Alt+5", captureKey);
        QTest::qWait(200);
        QCOMPARE(m_log.lines.size(), lines);
        for (const QString& line : std::as_const(m_log.lines))
            QVERIFY2(line.contains(said), qPrintable(line));
        // Without a portal the binder knows it at once, and no desktop is asked.
        QCOMPARE(refusals.size(), said == QLatin1String("declined") ? 1 : 0);
        // Nothing fires then, but for key grabs, which stand in for a missing portal under Qt on X11.
        const bool grabs =
            said != QLatin1String("declined") && QGuiApplication::platformName() == QLatin1String("xcb");
        QCOMPARE(m_binder->firesShortcuts(), grabs);
    }

    void registeringSaysOnlyWhatFails_data()
    {
        QTest::addColumn<QString>("portal"); // the fake portal's argument, or "none" on the bus
        QTest::addColumn<QString>("said");   // empty: nothing
        QTest::newRow("no portal") << "none" << QString();
        QTest::newRow("a portal older than the registry") << "--without-screenshot" << QString();
        QTest::newRow("taken") << "--registry" << QString();
        QTest::newRow("refused") << "--registry=App info not found"
                                 << "App info not found";
    }

    void registeringSaysOnlyWhatFails()
    {
        QFETCH(QString, portal);
        QFETCH(QString, said);
        if (portal != QLatin1String("none"))
            QVERIFY(startPortal({portal}));
        registerWithDesktopPortal(QStringLiteral("io.github.kestrelle.Kestrelle"), m_log);
        QCOMPARE(m_log.lines.size(), said.isEmpty() ? 0 : 1);
        if (!said.isEmpty())
            QVERIFY2(m_log.lines.constFirst().contains(said), qPrintable(m_log.lines.constFirst()));
    }

private:
    bool startPortal(const QStringList& arguments)
    {
        m_portal.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_portal.start(QStringLiteral(FAKE_PORTAL), arguments);
        return m_portal.waitForStarted() && QTest::qWaitFor(portalOnBus, 10000);
    }

    void bindBoth()
    {
        m_binder = makeShortcutBinder(*m_store, m_log);
        for (const QString& key : {captureKey, clipboardKey})
            m_binder->bindShortcutWithDefaultsKey(key, [this, key] { m_fired.append(key); });
    }

    QTemporaryDir m_dir;
    RecordingLog m_log;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<ShortcutBinder> m_binder;
    QStringList m_fired; // the keys whose action ran, in order
    QProcess m_portal;
};

QTEST_MAIN(PortalShortcutsTest)

#include "tst_portalshortcuts.moc"
