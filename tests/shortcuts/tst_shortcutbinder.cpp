// The X11 binder on a real X server, pressed with real key events (xdotool), against a real settings
// file. Another X client of the test's own plays the program that holds a combination first.

#include "RecordingLog.h"
#include "settings/SettingsStore.h"
#include "shortcuts/ShortcutBinder.h"
#include "shortcuts/ShortcutBinderFactory.h"
#include "shortcuts/ShortcutRecorder.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace {

const QString fileKey = QStringLiteral("CaptureShortcut");
const QString clipboardKey = QStringLiteral("CaptureClipboardShortcut");
// A binding that every test presses last: once its action ran, every earlier press was handled.
const QString markKey = QStringLiteral("Mark");
// A keycode that Xvfb's keymap leaves empty.
constexpr xcb_keycode_t spareKeycode = 93;

bool xdotool(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

bool xmodmap(const QString& expression)
{
    return QProcess::execute(QStringLiteral("xmodmap"), {QStringLiteral("-e"), expression}) == 0;
}

// A second X client: holds grabs of its own and reads the keyboard's lock state.
class OtherClient {
public:
    OtherClient() : m_connection(xcb_connect(nullptr, nullptr))
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    ~OtherClient() { xcb_disconnect(m_connection); }

    bool grab(xcb_keycode_t keycode, uint16_t modifiers)
    {
        std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
            xcb_request_check(m_connection,
                              xcb_grab_key_checked(m_connection, true, m_root, modifiers, keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
            &std::free);
        return !error;
    }
    void ungrab(xcb_keycode_t keycode, uint16_t modifiers)
    {
        xcb_ungrab_key(m_connection, keycode, m_root, modifiers);
        xcb_flush(m_connection);
    }
    // Whether the binder holds it: a grab of our own then fails.
    bool isHeldElsewhere(xcb_keycode_t keycode, uint16_t modifiers)
    {
        if (!grab(keycode, modifiers))
            return true;
        ungrab(keycode, modifiers);
        return false;
    }
    uint16_t modifierState()
    {
        std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> reply(
            xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr),
            &std::free);
        return reply ? reply->mask : 0;
    }
    xcb_keycode_t keycode(xcb_keysym_t keysym)
    {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_connection);
        xcb_keycode_t* keycodes = xcb_key_symbols_get_keycode(symbols, keysym);
        const xcb_keycode_t first = keycodes ? keycodes[0] : 0;
        std::free(keycodes);
        xcb_key_symbols_free(symbols);
        return first;
    }

private:
    xcb_connection_t* m_connection;
    xcb_window_t m_root;
};

// Counts every press of one key that reaches the program, repeats included.
class PressCounter final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        const auto* event = static_cast<const xcb_key_press_event_t*>(message);
        if (eventType == "xcb_generic_event_t" && (event->response_type & ~0x80) == XCB_KEY_PRESS &&
            event->detail == keycode)
            ++presses;
        return false;
    }
    xcb_keycode_t keycode = 0;
    int presses = 0;
};

constexpr uint16_t ctrl = XCB_MOD_MASK_CONTROL;
constexpr uint16_t alt = XCB_MOD_MASK_1;

} // namespace

class ShortcutBinderTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        // Auto-repeat sooner and faster than the desktop default, so that holding keys takes little time.
        QCOMPARE(QProcess::execute(QStringLiteral("xset"), {"r", "rate", "150", "40"}), 0);
        m_store = std::make_unique<SettingsStore>(m_dir.filePath(QStringLiteral("Kestrelle.conf")), m_log);
        // Stored before the binder exists, as after a restart.
        store(fileKey, QStringLiteral("Ctrl+Shift+3"));
        store(markKey, QStringLiteral("Ctrl+Alt+Z"));
        m_binder = makeShortcutBinder(*m_store, m_log);
        m_binder->bindShortcutWithDefaultsKey(fileKey, [this] { ++m_files; });
        m_binder->bindShortcutWithDefaultsKey(clipboardKey, [this] { ++m_clipboards; });
        m_binder->bindShortcutWithDefaultsKey(markKey, [this] { ++m_marks; });
        QCOMPARE(m_log.lines, QStringList());
    }

    void cleanup()
    {
        const uint16_t state = m_other.modifierState();
        if (state & XCB_MOD_MASK_2)
            xdotool({"key", "Num_Lock"});
        if (state & XCB_MOD_MASK_LOCK)
            xdotool({"key", "Caps_Lock"});
        store(fileKey, QStringLiteral("Ctrl+Shift+3"));
        store(clipboardKey, QString());
        m_files = m_clipboards = 0;
        m_log.lines.clear();
    }

    void firesOncePerPressWhateverTheLocks_data()
    {
        QTest::addColumn<QStringList>("locks");
        QTest::addColumn<uint16_t>("state");
        QTest::newRow("no lock") << QStringList{} << uint16_t(0);
        QTest::newRow("Num Lock") << QStringList{"Num_Lock"} << uint16_t(XCB_MOD_MASK_2);
        QTest::newRow("Caps Lock") << QStringList{"Caps_Lock"} << uint16_t(XCB_MOD_MASK_LOCK);
        QTest::newRow("both") << QStringList{"Num_Lock", "Caps_Lock"}
                              << uint16_t(XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK);
    }

    void firesOncePerPressWhateverTheLocks()
    {
        QFETCH(QStringList, locks);
        QFETCH(uint16_t, state);
        for (const QString& lock : locks)
            QVERIFY(xdotool({"key", lock}));
        QCOMPARE(m_other.modifierState() & (XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK), state);

        QVERIFY(xdotool({"key", "ctrl+shift+3"}));
        QTRY_COMPARE(m_files, 1);
        QVERIFY(xdotool({"key", "ctrl+shift+3", "ctrl+shift+3"}));
        QVERIFY(settle());
        QCOMPARE(m_files, 3);
        QCOMPARE(m_clipboards, 0);
    }

    void holdingTheKeysFiresOnce()
    {
        PressCounter counter;
        counter.keycode = m_other.keycode(XKB_KEY_3);
        qApp->installNativeEventFilter(&counter);
        QVERIFY(xdotool({"keydown", "ctrl+shift+3", "sleep", "0.5", "keyup", "ctrl+shift+3"}));
        QVERIFY(settle());
        qApp->removeNativeEventFilter(&counter);
        QVERIFY2(counter.presses > 3, "the server repeated the key while it was held");
        QCOMPARE(m_files, 1);

        // The next press after the release counts again.
        QVERIFY(xdotool({"key", "ctrl+shift+3"}));
        QVERIFY(settle());
        QCOMPARE(m_files, 2);
    }

    void changingTheShortcutReleasesTheOldOneAtOnce()
    {
        store(clipboardKey, QStringLiteral("Ctrl+Alt+K"));
        QVERIFY(xdotool({"key", "ctrl+alt+k"}));
        QTRY_COMPARE(m_clipboards, 1);

        store(clipboardKey, QStringLiteral("Ctrl+Alt+L"));
        // At once: no event loop turn between the write and another program taking the old combination.
        QVERIFY(!m_other.isHeldElsewhere(m_other.keycode(XKB_KEY_k), ctrl | alt));
        QVERIFY(m_other.isHeldElsewhere(m_other.keycode(XKB_KEY_l), ctrl | alt));
        QVERIFY(xdotool({"key", "ctrl+alt+k", "ctrl+alt+l"}));
        QVERIFY(settle());
        QCOMPARE(m_clipboards, 2);

        // Cleared: nothing is held any more.
        store(clipboardKey, QString());
        QVERIFY(!m_other.isHeldElsewhere(m_other.keycode(XKB_KEY_l), ctrl | alt));
        QVERIFY(xdotool({"key", "ctrl+alt+l"}));
        QVERIFY(settle());
        QCOMPARE(m_clipboards, 2);
        QCOMPARE(m_log.lines, QStringList());
    }

    void refusesWhatAnotherClientOrAnotherKeyHolds()
    {
        QVERIFY(m_other.grab(m_other.keycode(XKB_KEY_t), ctrl | alt));
        const QKeyCombination heldByOther(Qt::ControlModifier | Qt::AltModifier, Qt::Key_T);
        const std::optional<QString> refusal = m_binder->refusalFor(heldByOther, clipboardKey);
        QVERIFY(refusal && refusal->contains(QStringLiteral("another program")));
        QCOMPARE(m_log.lines.size(), 1);
        QVERIFY(m_log.lines[0].contains(QStringLiteral("Ctrl+Alt+T")));

        // Stored anyway (a write from elsewhere): logged, and the press stays with the other program.
        store(clipboardKey, QStringLiteral("Ctrl+Alt+T"));
        QCOMPARE(m_log.lines.size(), 2);
        QVERIFY(m_log.lines[1].contains(QStringLiteral("another program")));
        QVERIFY(xdotool({"key", "ctrl+alt+t"}));
        QVERIFY(settle());
        QCOMPARE(m_clipboards, 0);
        m_other.ungrab(m_other.keycode(XKB_KEY_t), ctrl | alt);

        // A free combination is free, and asking leaves nothing held.
        QCOMPARE(m_binder->refusalFor(QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_Y),
                                      clipboardKey),
                 std::nullopt);
        QVERIFY(!m_other.isHeldElsewhere(m_other.keycode(XKB_KEY_y), ctrl | alt));

        // The other key's combination, also when named by the character on the same key ("#" over "3").
        for (const Qt::Key key : {Qt::Key_3, Qt::Key_NumberSign}) {
            const auto refused = m_binder->refusalFor(
                QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, key), clipboardKey);
            QVERIFY(refused && refused->contains(QStringLiteral("already assigned")));
        }
        // Its own combination is no conflict, and asking does not let go of it.
        QCOMPARE(m_binder->refusalFor(QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_3),
                                      fileKey),
                 std::nullopt);
        QVERIFY(xdotool({"key", "ctrl+shift+3"}));
        QTRY_COMPARE(m_files, 1);
    }

    void logsWhatNoKeyGivesAndFollowsTheKeyboardMapping()
    {
        // A stored value that is not a shortcut: logged, and the old combination is let go.
        store(fileKey, QStringLiteral("Ctrl+Shift+Nonsense"));
        QVERIFY(xdotool({"key", "ctrl+shift+3"}));
        QVERIFY(settle());
        QCOMPARE(m_files, 0);
        store(fileKey, QStringLiteral("Ctrl+Shift+3"));
        // No key gives F35 yet: logged, nothing held.
        store(clipboardKey, QStringLiteral("Ctrl+F35"));
        QCOMPARE(m_log.lines.size(), 2);
        QVERIFY(m_log.lines[0].contains(QStringLiteral("not a shortcut")));
        QVERIFY(m_log.lines[1].contains(QStringLiteral("no key")));

        QVERIFY(xmodmap(QStringLiteral("keycode %1 = F35").arg(spareKeycode)));
        QTRY_VERIFY(m_other.isHeldElsewhere(spareKeycode, ctrl));
        QVERIFY(xdotool({"key", "ctrl+F35"}));
        QVERIFY(settle());
        QCOMPARE(m_clipboards, 1);

        QVERIFY(xmodmap(QStringLiteral("keycode %1 =").arg(spareKeycode)));
        QTRY_VERIFY(!m_other.isHeldElsewhere(spareKeycode, ctrl));
        // Shortcuts whose keys did not move stayed held throughout.
        QVERIFY(xdotool({"key", "ctrl+shift+3"}));
        QVERIFY(settle());
        QCOMPARE(m_files, 1);
        QCOMPARE(m_log.lines.size(), 2);

        // A German layout swaps Y and Z: the shortcut follows the letter to its new key.
        store(clipboardKey, QStringLiteral("Ctrl+Alt+Y"));
        const xcb_keycode_t usY = m_other.keycode(XKB_KEY_y);
        QCOMPARE(QProcess::execute(QStringLiteral("setxkbmap"), {"de"}), 0);
        const xcb_keycode_t deY = m_other.keycode(XKB_KEY_y);
        QVERIFY(deY != usY);
        QTRY_VERIFY(m_other.isHeldElsewhere(deY, ctrl | alt));
        QVERIFY(xdotool({"key", "ctrl+alt+y"}));
        QVERIFY(settle());
        QCOMPARE(m_clipboards, 2);
        QCOMPARE(QProcess::execute(QStringLiteral("setxkbmap"), {"us"}), 0);
        QTRY_VERIFY(m_other.isHeldElsewhere(usY, ctrl | alt));
    }

    void recordsRealKeysWithoutFiringTheShortcuts()
    {
        // With one of the program's own windows focused and the pointer over it, the shortcut still goes to
        // the binder.
        ShortcutRecorder recorder;
        QVERIFY(showRecorder(recorder));
        QVERIFY(xdotool({"mousemove", "--window", QString::number(recorder.winId()), "10", "10"}));
        QVERIFY(xdotool({"key", "ctrl+shift+3"}));
        QTRY_COMPARE(m_files, 1);

        store(clipboardKey, QStringLiteral("Ctrl+Alt+K"));
        recorder.startRecording();

        // The recording holds the keyboard: even a bound combination is recorded, not run.
        const int marks = m_marks;
        QVERIFY(xdotool({"key", "ctrl+alt+z"}));
        QTRY_VERIFY(!recorder.isRecording());
        QVERIFY(recorder.hint().contains(QStringLiteral("already assigned")));
        QCOMPARE(storedText(clipboardKey), QStringLiteral("Ctrl+Alt+K"));
        QVERIFY(settle());
        QCOMPARE(m_marks, marks + 1);
        recorder.startRecording();
        QVERIFY(xdotool({"key", "ctrl+shift+4"}));
        QTRY_VERIFY(!recorder.isRecording());
        QCOMPARE(recorder.hint(), QString());
        // Stored by the key's own character, though X reports the shifted one ("$").
        QCOMPARE(storedText(clipboardKey), QStringLiteral("Ctrl+Shift+4"));
        QVERIFY(xdotool({"key", "ctrl+shift+4"}));
        QTRY_COMPARE(m_clipboards, 1);
    }

    void theRecorderTakesWhatIsTyped_data()
    {
        QTest::addColumn<QStringList>("typed"); // xdotool's arguments
        QTest::addColumn<QString>("stored");    // Ctrl+Alt+P before
        QTest::addColumn<bool>("recording");    // still, afterwards
        QTest::addColumn<QString>("field");     // null: the stored shortcut, or the empty field's title
        QTest::addColumn<bool>("hint");
        const QString before = QStringLiteral("Ctrl+Alt+P");
        const QString typing = QStringLiteral("Type shortcut");
        // Keys that would get in the way of typing are refused with a hint, and the recording stays open.
        QTest::newRow("letter") << QStringList{"key", "a"} << before << true << typing << true;
        QTest::newRow("Shift+letter") << QStringList{"key", "shift+a"} << before << true << typing << true;
        QTest::newRow("Space") << QStringList{"key", "space"} << before << true << typing << true;
        QTest::newRow("a refused key, then Ctrl+A")
            << QStringList{"key", "a", "ctrl+a"} << "Ctrl+A" << false << QString() << false;
        QTest::newRow("a modifier alone only shows")
            << QStringList{"keydown", "ctrl"} << before << true << QStringLiteral("Ctrl+…") << false;
        QTest::newRow("Escape keeps the old one")
            << QStringList{"key", "Escape"} << before << false << QString() << false;
        QTest::newRow("BackSpace clears")
            << QStringList{"key", "BackSpace"} << "" << false << QString() << false;
        QTest::newRow("Delete clears") << QStringList{"key", "Delete"} << "" << false << QString() << false;
        QTest::newRow("Ctrl+Delete is a shortcut")
            << QStringList{"key", "ctrl+Delete"} << "Ctrl+Del" << false << QString() << false;
        QTest::newRow("Super+Tab stays in the field")
            << QStringList{"key", "super+Tab"} << "Meta+Tab" << false << QString() << false;
        QTest::newRow("a function key alone")
            << QStringList{"key", "F5"} << "F5" << false << QString() << false;
        QTest::newRow("the keypad flag dropped")
            << QStringList{"key", "ctrl+KP_End"} << "Ctrl+End" << false << QString() << false;
    }

    void theRecorderTakesWhatIsTyped()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, stored);
        QFETCH(bool, recording);
        QFETCH(QString, field);
        QFETCH(bool, hint);
        store(clipboardKey, QStringLiteral("Ctrl+Alt+P"));
        ShortcutRecorder recorder;
        QVERIFY(showRecorder(recorder));
        auto* button = recorder.findChild<QPushButton*>(QStringLiteral("shortcutField"));
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(recorder.isRecording());
        if (field.isNull())
            field = stored.isEmpty() ? QStringLiteral("Record Shortcut")
                                     : QKeySequence(stored).toString(QKeySequence::NativeText);

        QVERIFY(xdotool(typed));
        QTRY_VERIFY2(recorder.isRecording() == recording && recorder.hint().isEmpty() != hint &&
                         button->text() == field,
                     qPrintable(button->text() + QStringLiteral(" / ") + recorder.hint()));
        if (typed.constFirst() == QLatin1String("keydown"))
            QVERIFY(xdotool({"keyup", typed.constLast()}));
        QCOMPARE(storedText(clipboardKey), stored);
        QCOMPARE(recorder.findChild<QToolButton*>(QStringLiteral("clearButton"))->isVisible(),
                 !recording && !stored.isEmpty());
    }

    void theRecorderShowsOnlyAShortcutAndItsButtonsClearAndCancel()
    {
        ShortcutRecorder recorder;
        QVERIFY(showRecorder(recorder));
        auto* button = recorder.findChild<QPushButton*>(QStringLiteral("shortcutField"));
        auto* clear = recorder.findChild<QToolButton*>(QStringLiteral("clearButton"));
        for (const QVariant& value : {QVariant(QStringLiteral("Ctrl+Shift+Nonsense")),
                                      QVariant(QStringLiteral("Ctrl+A, Ctrl+B")), QVariant(42)}) {
            store(clipboardKey, value);
            QCOMPARE(button->text(), QStringLiteral("Record Shortcut"));
            QVERIFY(!clear->isVisible());
        }

        store(clipboardKey, QStringLiteral("Ctrl+Alt+P"));
        QVERIFY(clear->isVisible());
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(storedText(clipboardKey), QString());
        QCOMPARE(button->text(), QStringLiteral("Record Shortcut"));
        QVERIFY(!clear->isVisible());

        // A second click on the field cancels, as Escape does.
        store(clipboardKey, QStringLiteral("Ctrl+Alt+P"));
        const QPoint centre = button->mapToGlobal(button->rect().center());
        QVERIFY(
            xdotool({"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click", "1"}));
        QTRY_VERIFY(recorder.isRecording());
        QSignalSpy clicked(button, &QPushButton::clicked);
        QVERIFY(xdotool({"click", "1"}));
        QTRY_COMPARE(clicked.count(), 1);
        QVERIFY(!recorder.isRecording());
        QCOMPARE(storedText(clipboardKey), QStringLiteral("Ctrl+Alt+P"));
    }

private:
    // Presses the mark binding and waits for it: every press before it has then been handled.
    bool settle()
    {
        const int expected = m_marks + 1;
        if (!xdotool({"key", "ctrl+alt+z"}))
            return false;
        QDeadlineTimer deadline(5000);
        while (m_marks < expected && !deadline.hasExpired())
            QTest::qWait(5);
        return m_marks == expected;
    }
    // A recorder of the clipboard shortcut, shown and focused as in the keyboard-shortcuts window.
    bool showRecorder(ShortcutRecorder& recorder)
    {
        recorder.attach(*m_store, *m_binder);
        recorder.setAssociatedUserDefaultsKey(clipboardKey);
        recorder.show();
        recorder.activateWindow();
        return QTest::qWaitForWindowActive(&recorder);
    }
    void store(const QString& key, const QVariant& value) { m_store->setObject(value, key); }
    QString storedText(const QString& key) const { return m_store->stringForKey(key).value_or(QString()); }

    QTemporaryDir m_dir;
    RecordingLog m_log;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<ShortcutBinder> m_binder;
    OtherClient m_other;
    int m_files = 0;
    int m_clipboards = 0;
    int m_marks = 0;
};

QTEST_MAIN(ShortcutBinderTest)
#include "tst_shortcutbinder.moc"
