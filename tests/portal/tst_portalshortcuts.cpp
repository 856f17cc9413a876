// Global shortcuts through the desktop portal: the binder the factory picks in a Wayland session, on a
// private session bus with the real QtDBus client and a real settings file. The fake portal service
// stands in for portals that bind only through BindShortcuts (Plasma 5.27 binds when the session opens:
// tests/desktops/kde-shortcuts.sh) and for a user who declines a binding or leaves its dialog open.

#include "RecordingLog.h"
#include "settings/SettingsStore.h"
#include "shortcuts/ShortcutBinder.h"
#include "shortcuts/ShortcutBinderFactory.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString captureKey = QStringLiteral("CaptureShortcut");
const QString clipboardKey = QStringLiteral("CaptureClipboardShortcut");
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

// Steers the fake portal, or asks it what it was asked: a method of its /test object.
QVariant control(const char* method, const QVariantList& arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, "/test", "org.kestrelle.test.FakePortal", QLatin1String(method));
    call.setArguments(arguments);
    return bus().call(call).arguments().value(0);
}

QString portalState()
{
    return control("State").toString();
}

// The fake portal's state after BINDS bindings, the last with CAPTURE's trigger.
QString bound(int binds, const char* capture)
{
    return QStringLiteral("binds %1: CaptureShortcut=%2 CaptureClipboardShortcut=SHIFT+LOGO+Prior")
        .arg(binds)
        .arg(QLatin1String(capture));
}

} // namespace

class PortalShortcutsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(bus().isConnected(), "needs a session bus: run under dbus-run-session"); }

    void init()
    {
        m_log.lines.clear();
        m_store = std::make_unique<SettingsStore>(m_dir.filePath("Kestrelle.conf"), m_log);
        // Triggers name the modifiers, then a letter by its unshifted keysym and another key by its
        // keysym's name (KDE's portal takes Ctrl+Alt+J in tests/desktops/kde-shortcuts.sh).
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
        QTRY_VERIFY(!bus().interface()->isServiceRegistered(portalService));
    }

    void bindsOnceAndAgainForANewTriggerOnceTheDesktopAnswered()
    {
        QVERIFY(startPortal({}));
        bindBoth();
        QTRY_COMPARE(portalState(), bound(1, "CTRL+ALT+a"));
        // Binding again for nothing would ask the user again on some desktops; other keys of the store are
        // none of the binder's business.
        m_store->setObject("png", "FileType");
        QTest::qWait(100);
        QCOMPARE(portalState(), bound(1, "CTRL+ALT+a"));

        // The portal holds both from the first binding, but not with the new trigger. The new session
        // takes the old one's name once that is closed.
        m_store->setObject("Alt+/", captureKey);
        QTRY_COMPARE(portalState(), bound(2, "ALT+slash"));

        // A change while the desktop asks about the last one waits for its answer.
        control("Hold", {true});
        m_store->setObject("Ctrl+Alt+5", captureKey);
        QTRY_VERIFY(portalState().startsWith("binds 3:"));
        m_store->setObject("Ctrl+Alt+6", captureKey);
        QTest::qWait(100);
        QVERIFY(portalState().startsWith("binds 3:"));
        control("Hold", {false});
        QTRY_COMPARE(portalState(), bound(4, "CTRL+ALT+6"));
        QCOMPARE(m_log.lines, QStringList());
    }

    void whatBindsNothingIsSaidOncePerAnswer_data()
    {
        QTest::addColumn<QString>("portal"); // the fake portal's arguments, or "none" on the bus
        QTest::addColumn<uint>("response");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("lines"); // after a new trigger is stored
        QTest::newRow("declined, and again for a new trigger") << "" << 1u << "declined" << 2;
        QTest::newRow("no portal on the bus") << "none" << 0u << "not available" << 1;
        QTest::newRow("a portal without global shortcuts")
            << "--without-global-shortcuts" << 0u << "not available" << 1;
    }

    void whatBindsNothingIsSaidOncePerAnswer()
    {
        QFETCH(QString, portal);
        QFETCH(uint, response);
        QFETCH(QString, said);
        QFETCH(int, lines);
        if (portal != QLatin1String("none")) {
            QVERIFY(startPortal(portal.split(QLatin1Char(' '), Qt::SkipEmptyParts)));
            control("SetResponse", {response});
        }
        bindBoth();
        QTRY_COMPARE(m_log.lines.size(), 1);
        m_store->setObject("Ctrl+Alt+5", captureKey);
        QTest::qWait(200);
        QCOMPARE(m_log.lines.size(), lines);
        for (const QString& line : std::as_const(m_log.lines))
            QVERIFY2(line.contains(said), qPrintable(line));
    }

private:
    bool startPortal(const QStringList& arguments)
    {
        m_portal.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_portal.start(QStringLiteral(FAKE_PORTAL), arguments);
        return m_portal.waitForStarted() &&
               QTest::qWaitFor([] { return bus().interface()->isServiceRegistered(portalService).value(); },
                               10000);
    }

    void bindBoth()
    {
        m_binder = makeShortcutBinder(*m_store, m_log);
        for (const QString& key : {captureKey, clipboardKey})
            m_binder->bindShortcutWithDefaultsKey(key, [] {});
    }

    QTemporaryDir m_dir;
    RecordingLog m_log;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<ShortcutBinder> m_binder;
    QProcess m_portal;
};

QTEST_MAIN(PortalShortcutsTest)

#include "tst_portalshortcuts.moc"
