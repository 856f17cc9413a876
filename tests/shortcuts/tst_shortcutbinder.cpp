// The X11 binder and the recorder on a real X server, pressed with xdotool, against a real settings file.

#include "RecordingLog.h"
#include "settings/SettingsStore.h"
#include "shortcuts/ShortcutBinder.h"
#include "shortcuts/ShortcutBinderFactory.h"
#include "shortcuts/ShortcutRecorder.h"

#include <QAbstractNativeEventFilter>
#include <QProcess>
#include <QPushButton>
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
const QString markKey = QStringLiteral("Mark");
constexpr xcb_keycode_t spareKeycode = 93; // empty in Xvfb's keymap
constexpr uint16_t ctrl = XCB_MOD_MASK_CONTROL;
constexpr uint16_t ctrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
constexpr uint16_t numLock = XCB_MOD_MASK_2;
constexpr uint16_t capsLock = XCB_MOD_MASK_LOCK;

bool run(const char* program, const QStringList& arguments)
{
    return QProcess::execute(QLatin1String(program), arguments) == 0;
}

// Another program: holds grabs of its own, and finds the binder's, which make its own fail.
class OtherClient {
public:
    OtherClient() : m_connection(xcb_connect(nullptr, nullptr))
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    ~OtherClient() { xcb_disconnect(m_connection); }

    bool grab(xcb_keycode_t keycode, uint16_t modifiers)
    {
        xcb_generic_error_t* error = xcb_request_check(
            m_connection, xcb_grab_key_checked(m_connection, true, m_root, modifiers, keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        const bool granted = !error;
        std::free(error);
        return granted;
    }
    void ungrab(xcb_keycode_t keycode, uint16_t modifiers)
    {
        xcb_ungrab_key(m_connection, keycode, m_root, modifiers);
        xcb_flush(m_connection);
    }
    bool isHeldElsewhere(xcb_keycode_t keycode, uint16_t modifiers)
    {
        if (!grab(keycode, modifiers))
            return true;
        ungrab(keycode, modifiers);
        return false;
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

// A combination the recorder asks about for KEY, then stores all the same, then presses.
struct Taken {
    QString key, shortcut;
    QString said; // in the log, and in the answer when refused; null: nothing
    bool refused;
    QString pressed;
    int files, clipboards; // actions run
};

} // namespace

Q_DECLARE_METATYPE(Taken)

class ShortcutBinderTest : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    // Counts the presses of Ctrl+Shift+3's key that reach the program, repeats included, and their locks.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        const auto* event = static_cast<const xcb_key_press_event_t*>(message);
        if (eventType == "xcb_generic_event_t" && (event->response_type & ~0x80) == XCB_KEY_PRESS &&
            event->detail == m_three) {
            ++m_presses;
            m_locks = event->state & (numLock | capsLock);
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(run("xset", {"r", "rate", "150", "40"})); // quick auto-repeat: holding keys takes little time
        m_store = std::make_unique<SettingsStore>(m_dir.filePath("Kestrelle.conf"), m_log);
        // Stored before the binder exists, as after a restart.
        store(fileKey, "Ctrl+Shift+3");
        store(markKey, "Ctrl+Alt+Z");
        m_binder = makeShortcutBinder(*m_store, m_log);
        m_binder->bindShortcutWithDefaultsKey(fileKey, [this] { ++m_files; });
        m_binder->bindShortcutWithDefaultsKey(clipboardKey, [this] { ++m_clipboards; });
        m_binder->bindShortcutWithDefaultsKey(markKey, [this] { ++m_marks; });
        QCOMPARE(m_log.lines, QStringList());
        // Called before the binder's, which takes the presses.
        m_three = m_other.keycode(XKB_KEY_3);
        qApp->installNativeEventFilter(this);
    }

    void cleanup()
    {
        store(fileKey, "Ctrl+Shift+3");
        store(clipboardKey, QString());
        m_files = m_clipboards = 0;
        m_log.lines.clear();
    }

    // Held while the server repeats it, then pressed again: twice, whatever the locks.
    void eachPressFiresOnceWhateverTheLocks()
    {
        for (const auto& [locks, state] : {std::pair{QStringList{"Num_Lock"}, numLock},
                                           {{"Caps_Lock"}, capsLock},
                                           {{"Num_Lock", "Caps_Lock"}, uint16_t(numLock | capsLock)}}) {
            m_files = m_presses = 0;
            const QStringList toggle = QStringList{"key"} + locks;
            QVERIFY(run("xdotool", toggle +
                                       QStringList{"keydown", "ctrl+shift+3", "sleep", "0.5", "keyup",
                                                   "ctrl+shift+3", "key", "ctrl+shift+3"} +
                                       toggle));
            QVERIFY(settle());
            QCOMPARE(m_locks, state);
            QVERIFY2(m_presses > 4, "the server repeated the key while it was held");
            QCOMPARE(m_files, 2);
        }
    }

    void refusesAndLogsWhatIsTaken_data()
    {
        QTest::addColumn<Taken>("row");
        const auto row = [](const char* name, const Taken& taken) { QTest::newRow(name) << taken; };
        row("another program's", {clipboardKey, "Ctrl+Alt+T", "another program", true, "ctrl+alt+t", 0, 0});
        row("free", {clipboardKey, "Ctrl+Alt+Y", {}, false, "ctrl+alt+y", 0, 1});
        row("the other key's", {clipboardKey, "Ctrl+Shift+3", "already", true, "ctrl+shift+3", 1, 0});
        row("the other key's by #", {clipboardKey, "Ctrl+Shift+#", "already", true, "ctrl+shift+3", 1, 0});
        row("its own", {fileKey, "Ctrl+Shift+3", {}, false, "ctrl+shift+3", 1, 0});
        // The old combination is let go.
        row("not a shortcut", {fileKey, "Ctrl+Shift+Foo", "not a shortcut", false, "ctrl+shift+3", 0, 0});
        row("no key gives it", {clipboardKey, "Ctrl+F35", "no key", false, {}, 0, 0});
    }

    void refusesAndLogsWhatIsTaken()
    {
        QFETCH(Taken, row);
        const auto& [key, shortcut, said, refused, pressed, files, clipboards] = row;
        store(clipboardKey, "Ctrl+Alt+K");
        QVERIFY(m_other.grab(m_other.keycode(XKB_KEY_t), ctrlAlt));
        const auto refusal =
            m_binder->refusalFor(QKeySequence::fromString(shortcut, QKeySequence::PortableText)[0], key);
        QVERIFY2(refused ? refusal && refusal->contains(said) : !refusal,
                 qPrintable(refusal.value_or("none")));
        QCOMPARE(m_log.lines.size(), refused ? 1 : 0);
        // Asking takes no grab and lets go of none.
        QVERIFY(!m_other.isHeldElsewhere(m_other.keycode(XKB_KEY_y), ctrlAlt));
        QVERIFY(m_other.isHeldElsewhere(m_other.keycode(XKB_KEY_3), ctrl | XCB_MOD_MASK_SHIFT));

        m_log.lines.clear();
        store(key, shortcut);
        // At once: no event loop turn between the write and another program taking the old combination.
        QCOMPARE(m_other.isHeldElsewhere(m_other.keycode(XKB_KEY_k), ctrlAlt), key == fileKey);
        QCOMPARE(m_log.lines.size(), said.isNull() ? 0 : 1);
        QVERIFY2(said.isNull() || m_log.lines[0].contains(said), qPrintable(m_log.lines.value(0)));
        if (!pressed.isNull())
            QVERIFY(run("xdotool", {"key", pressed}));
        QVERIFY(settle());
        m_other.ungrab(m_other.keycode(XKB_KEY_t), ctrlAlt);
        QCOMPARE(m_files, files);
        QCOMPARE(m_clipboards, clipboards);
        // A refused value holds nothing: the file shortcut, written again, takes its combination.
        store(fileKey, "Ctrl+Shift+3");
        QVERIFY(m_other.isHeldElsewhere(m_other.keycode(XKB_KEY_3), ctrl | XCB_MOD_MASK_SHIFT));
    }

    void followsTheKeyboardMapping()
    {
        store(clipboardKey, "Ctrl+F35");
        m_log.lines.clear();
        QVERIFY(run("xmodmap", {"-e", QStringLiteral("keycode %1 = F35").arg(spareKeycode)}));
        QTRY_VERIFY(m_other.isHeldElsewhere(spareKeycode, ctrl));
        QVERIFY(run("xmodmap", {"-e", QStringLiteral("keycode %1 =").arg(spareKeycode)}));
        QTRY_VERIFY(!m_other.isHeldElsewhere(spareKeycode, ctrl));
        // Shortcuts whose keys did not move stayed held throughout, and remapping says nothing.
        QVERIFY(run("xdotool", {"key", "ctrl+shift+3"}));
        QVERIFY(settle());
        QCOMPARE(m_files, 1);
        QCOMPARE(m_log.lines, QStringList());

        // A German layout swaps Y and Z: the shortcut follows the letter to its new key.
        store(clipboardKey, "Ctrl+Alt+Y");
        const xcb_keycode_t usY = m_other.keycode(XKB_KEY_y);
        QVERIFY(run("setxkbmap", {"de"}));
        QVERIFY(m_other.keycode(XKB_KEY_y) != usY);
        QTRY_VERIFY(m_other.isHeldElsewhere(m_other.keycode(XKB_KEY_y), ctrlAlt));
        QVERIFY(run("xdotool", {"key", "ctrl+alt+y"}));
        QVERIFY(settle());
        QCOMPARE(m_clipboards, 1);
        QVERIFY(run("setxkbmap", {"us"}));
        QTRY_VERIFY(m_other.isHeldElsewhere(usY, ctrlAlt));
    }

    void theRecorderTakesWhatIsTyped_data()
    {
        // xdotool's arguments; stored (Ctrl+Alt+P before); the field (null: not recording); a hint.
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("hint");
        const auto row = [](const char* name, const QStringList& typed, const char* stored, const char* field,
                            bool hint) { QTest::newRow(name) << typed << stored << field << hint; };
        const char* before = "Ctrl+Alt+P";
        row("a letter alone: a hint, still recording", {"key", "a"}, before, "Type shortcut", true);
        row("a modifier alone only shows", {"keydown", "ctrl"}, before, "Ctrl+…", false);
        row("Escape keeps the old one", {"key", "Escape"}, before, nullptr, false);
        row("BackSpace clears", {"key", "BackSpace"}, "", nullptr, false);
        row("Super+Tab stays in the field", {"key", "super+Tab"}, "Meta+Tab", nullptr, false);
        row("a function key alone", {"key", "F5"}, "F5", nullptr, false);
        row("the keypad flag dropped", {"key", "ctrl+KP_End"}, "Ctrl+End", nullptr, false);
        // Stored by the key's own character, though X reports the shifted one ("$").
        row("by the key's own character", {"key", "ctrl+shift+4"}, "Ctrl+Shift+4", nullptr, false);
        // The recording holds the keyboard: a bound combination is recorded, not run, and refused.
        row("a bound combination", {"key", "ctrl+alt+z"}, before, nullptr, true);
        // The press once gave the field the focus, whose loss cancelled; the click then started again.
        row("a second click cancels", {"click", "1"}, before, nullptr, false);
    }

    void theRecorderTakesWhatIsTyped()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, stored);
        QFETCH(QString, field);
        QFETCH(bool, hint);
        store(clipboardKey, "Ctrl+Alt+P");
        ShortcutRecorder recorder; // as in its window: focused, the pointer over its field

        recorder.attach(*m_store, *m_binder);
        recorder.setAssociatedUserDefaultsKey(clipboardKey);
        recorder.show();
        recorder.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&recorder));
        auto* button = recorder.findChild<QPushButton*>("shortcutField");
        auto* clear = recorder.findChild<QToolButton*>("clearButton");
        QVERIFY(run("xdotool",
                    {"mousemove", "--window", QString::number(recorder.winId()), "10", "10", "click", "1"}));
        QTRY_VERIFY(recorder.isRecording());
        const bool recording = !field.isNull();
        if (!recording)
            field = stored.isEmpty() ? "Record Shortcut"
                                     : QKeySequence(stored).toString(QKeySequence::NativeText);
        const int marks = m_marks;

        QVERIFY(run("xdotool", typed));
        QTRY_VERIFY2(recorder.isRecording() == recording && recorder.hint().isEmpty() != hint &&
                         button->text() == field,
                     qPrintable(button->text() + " / " + recorder.hint()));
        if (typed.constFirst() == QLatin1String("keydown"))
            QVERIFY(run("xdotool", {"keyup", typed.constLast()}));
        QCOMPARE(storedText(clipboardKey), stored);
        QCOMPARE(clear->isVisible(), !recording && !stored.isEmpty());
        // No shortcut ran meanwhile; with the recorder focused and the pointer over it, they run again.
        recorder.cancelRecording();
        QVERIFY(settle());
        QCOMPARE(m_marks, marks + 1);
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(storedText(clipboardKey), QString());
    }

private:
    // Presses the mark's binding: once its action ran, every earlier press was handled.
    bool settle()
    {
        const int expected = m_marks + 1;
        return run("xdotool", {"key", "ctrl+alt+z"}) &&
               QTest::qWaitFor([&] { return m_marks >= expected; }, 5000) && m_marks == expected;
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
    xcb_keycode_t m_three = 0;
    int m_presses = 0;
    uint16_t m_locks = 0;
};

QTEST_MAIN(ShortcutBinderTest)
#include "tst_shortcutbinder.moc"
