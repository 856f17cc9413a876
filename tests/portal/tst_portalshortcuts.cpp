// Global shortcuts through the desktop portal: the binder the factory picks in a Wayland session, on a
// private session bus with the real QtDBus client and a real settings file. The fake portal service
// stands in for portals that bind only through BindShortcuts (Plasma 5.27 binds when the session opens:
// tests/desktops/kde-shortcuts.sh) and for a user who declines a binding or leaves its dialog open.

#include "RecordingLog.h"
#include "settings/SettingsStore.h"
#include "shortcuts/ShortcutBinder.h"
#include "shortcuts/ShortcutBinderFactory.h"
#include "shortcuts/portal/XdgShortcutTrigger.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QKeySequence>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString captureKey = QStringLiteral("CaptureShortcut");
const QString clipboardKey = QStringLiteral("CaptureClipboardShortcut");
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");

using Shortcuts = QList<QPair<QString, QVariantMap>>;

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

} // namespace

class PortalShortcutsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void triggersNameTheModifiersAndTheKeysym();
    void bindsBothWithTheRecordedTriggersOnceAndAgainForANewOne();
    void aChangeWhileTheDesktopAsksWaitsForItsAnswer();
    void aDeclinedBindingIsLoggedOnce();
    void withoutGlobalShortcutsSaysSoOnceAndDoesNothing_data();
    void withoutGlobalShortcutsSaysSoOnceAndDoesNothing();

private:
    bool startPortal(const QStringList& arguments = {});
    // Steers the fake portal, or asks it what it was asked: a method of its /test object.
    QVariant control(const char* method, const QVariantList& arguments = {}) const;
    uint bindCount() const { return control("BindCount").toUInt(); }
    QString boundSession() const { return control("BoundSession").toString(); }
    QStringList openSessions() const { return control("OpenSessions").toStringList(); }
    // The preferred trigger the portal was last asked to bind at this position.
    QString boundTrigger(int index) const
    {
        const QDBusReply<Shortcuts> bound = bus().call(controlCall("Bound"));
        return bound.value().value(index).second.value(QStringLiteral("preferred_trigger")).toString();
    }
    static QDBusMessage controlCall(const char* method)
    {
        return QDBusMessage::createMethodCall(portalService, QStringLiteral("/test"),
                                              QStringLiteral("org.kestrelle.test.FakePortal"),
                                              QLatin1String(method));
    }
    void bindBoth();
    bool startAndBindBoth();

    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingLog m_log;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<ShortcutBinder> m_binder;
    QProcess m_portal;
};

void PortalShortcutsTest::initTestCase()
{
    qDBusRegisterMetaType<Shortcuts::value_type>();
    qDBusRegisterMetaType<Shortcuts>();
    QVERIFY2(bus().isConnected(), "needs a session bus: run under dbus-run-session");
}

void PortalShortcutsTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_log.lines.clear();
    m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("Kestrelle.conf")), m_log);
    m_store->setObject(QStringLiteral("Ctrl+Shift+3"), captureKey);
    m_store->setObject(QStringLiteral("Ctrl+Meta+4"), clipboardKey);
}

void PortalShortcutsTest::cleanup()
{
    m_binder.reset();
    m_store.reset();
    if (m_portal.state() != QProcess::NotRunning) {
        m_portal.kill();
        m_portal.waitForFinished();
    }
    QTRY_VERIFY(!bus().interface()->isServiceRegistered(portalService));
}

bool PortalShortcutsTest::startPortal(const QStringList& arguments)
{
    m_portal.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_portal.start(QStringLiteral(FAKE_PORTAL), arguments);
    return m_portal.waitForStarted() &&
           QTest::qWaitFor([] { return bus().interface()->isServiceRegistered(portalService).value(); },
                           10000);
}

QVariant PortalShortcutsTest::control(const char* method, const QVariantList& arguments) const
{
    QDBusMessage call = controlCall(method);
    call.setArguments(arguments);
    return bus().call(call).arguments().value(0);
}

void PortalShortcutsTest::bindBoth()
{
    m_binder = makeShortcutBinder(*m_store, m_log);
    for (const QString& key : {captureKey, clipboardKey})
        m_binder->bindShortcutWithDefaultsKey(key, [] {});
}

bool PortalShortcutsTest::startAndBindBoth()
{
    if (!startPortal())
        return false;
    bindBoth();
    return QTest::qWaitFor([this] { return bindCount() == 1; }, 10000);
}

// Letters by their unshifted keysym, other keys by their keysym's name (KDE's portal takes Ctrl+Alt+J
// in tests/desktops/kde-shortcuts.sh).
void PortalShortcutsTest::triggersNameTheModifiersAndTheKeysym()
{
    const auto trigger = [](const char* stored) {
        return xdgShortcutTrigger(
            QKeySequence::fromString(QLatin1String(stored), QKeySequence::PortableText)[0]);
    };
    QCOMPARE(trigger("Ctrl+Alt+A"), "CTRL+ALT+a");
    QCOMPARE(trigger("Ctrl+PgUp"), "CTRL+Prior");
    QCOMPARE(trigger("Alt+/"), "ALT+slash");
}

void PortalShortcutsTest::bindsBothWithTheRecordedTriggersOnceAndAgainForANewOne()
{
    QVERIFY(startAndBindBoth());
    const QDBusReply<Shortcuts> bound = bus().call(controlCall("Bound"));
    QCOMPARE(bound.value().size(), 2);
    QCOMPARE(bound.value()[0].first, captureKey);
    QCOMPARE(bound.value()[1].first, clipboardKey);
    QCOMPARE(boundTrigger(0), "CTRL+SHIFT+3");
    QCOMPARE(boundTrigger(1), "CTRL+LOGO+4");
    const QString session = boundSession();
    QCOMPARE(openSessions(), QStringList{session});
    // Binding again for nothing would ask the user again on some desktops; other keys of the store are
    // none of the binder's business.
    m_store->setObject(QStringLiteral("png"), QStringLiteral("FileType"));
    QTest::qWait(100);
    QCOMPARE(bindCount(), 1u);

    // The portal holds both from the first binding, but not with the new trigger.
    m_store->setObject(QStringLiteral("Ctrl+Alt+5"), captureKey);
    QTRY_COMPARE(bindCount(), 2u);
    QCOMPARE(boundTrigger(0), "CTRL+ALT+5");
    QCOMPARE(boundTrigger(1), "CTRL+LOGO+4");
    QCOMPARE(boundSession(), session);
    QCOMPARE(openSessions(), QStringList{session});
    QVERIFY(m_log.lines.isEmpty());
}

void PortalShortcutsTest::aChangeWhileTheDesktopAsksWaitsForItsAnswer()
{
    QVERIFY(startAndBindBoth());
    control("HoldBindings");
    m_store->setObject(QStringLiteral("Ctrl+Alt+5"), captureKey);
    QTRY_COMPARE(bindCount(), 2u);
    m_store->setObject(QStringLiteral("Ctrl+Alt+6"), captureKey);
    QTest::qWait(100);
    QCOMPARE(bindCount(), 2u);

    control("AnswerHeldBindings");
    QTRY_COMPARE(bindCount(), 3u);
    QCOMPARE(boundTrigger(0), "CTRL+ALT+6");
    QTRY_COMPARE(openSessions(), QStringList{boundSession()});
}

void PortalShortcutsTest::aDeclinedBindingIsLoggedOnce()
{
    QVERIFY(startPortal());
    control("SetResponse", {1u});
    bindBoth();
    QTRY_COMPARE(m_log.lines.size(), 1);
    QVERIFY2(m_log.lines[0].contains(QStringLiteral("declined")), qPrintable(m_log.lines[0]));
    QTest::qWait(100);
    QCOMPARE(m_log.lines.size(), 1);
}

void PortalShortcutsTest::withoutGlobalShortcutsSaysSoOnceAndDoesNothing_data()
{
    QTest::addColumn<bool>("portalRuns");
    QTest::newRow("no portal on the bus") << false;
    QTest::newRow("a portal without global shortcuts") << true;
}

void PortalShortcutsTest::withoutGlobalShortcutsSaysSoOnceAndDoesNothing()
{
    QFETCH(bool, portalRuns);
    if (portalRuns)
        QVERIFY(startPortal({QStringLiteral("--without-global-shortcuts")}));
    bindBoth();
    m_store->setObject(QStringLiteral("Ctrl+Alt+5"), captureKey);
    QTest::qWait(200);

    QCOMPARE(m_log.lines.size(), 1);
    QVERIFY2(m_log.lines[0].contains(QStringLiteral("not available")), qPrintable(m_log.lines[0]));
    if (portalRuns)
        QCOMPARE(openSessions(), QStringList());
}

QTEST_MAIN(PortalShortcutsTest)

#include "tst_portalshortcuts.moc"
