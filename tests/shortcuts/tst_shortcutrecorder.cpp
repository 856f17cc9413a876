// The recorder view, offscreen: what the user types, what lands in a real settings file.

#include "RecordingLog.h"
#include "settings/SettingsStore.h"
#include "shortcuts/ShortcutBinder.h"
#include "shortcuts/ShortcutBinderFactory.h"
#include "shortcuts/ShortcutRecorder.h"

#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <set>

namespace {

const QString key = QStringLiteral("CaptureShortcut");
const QString otherKey = QStringLiteral("CaptureClipboardShortcut");

// Stands in for the desktop: refuses what another program is said to hold.
class TakenCombinationsBinder final : public ShortcutBinder {
public:
    void bindShortcutWithDefaultsKey(const QString&, std::function<void()>) override {}
    std::optional<QString> refusalFor(QKeyCombination combination, const QString&) override
    {
        if (taken.count(combination.toCombined()))
            return QStringLiteral("taken elsewhere");
        return std::nullopt;
    }
    std::set<int> taken;
};

} // namespace

class ShortcutRecorderTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void storesTheCombinationTypedAfterAClick_data();
    void storesTheCombinationTypedAfterAClick();
    void refusesKeysThatWouldGetInTheWayOfTyping();
    void escapeCancelsAndKeepsThePreviousShortcut();
    void backspaceDeleteAndTheClearButtonRemoveTheShortcut();
    void showsNothingForAStoredValueThatIsNotAShortcut_data();
    void showsNothingForAStoredValueThatIsNotAShortcut();
    void keepsThePreviousShortcutWhenTheBinderRefuses();
    void twoKeysCannotShareACombination();

private:
    QVariant storedValue() const { return QSettings(m_file, QSettings::IniFormat).value(key); }
    void store(const QVariant& value, const QString& under = key) { m_store->setObject(value, under); }
    QPushButton* field() const
    {
        return m_recorder->findChild<QPushButton*>(QStringLiteral("shortcutField"));
    }
    QToolButton* clearButton() const
    {
        return m_recorder->findChild<QToolButton*>(QStringLiteral("clearButton"));
    }
    void startRecording() const { QTest::mouseClick(field(), Qt::LeftButton); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    RecordingLog m_log;
    std::unique_ptr<SettingsStore> m_store;
    TakenCombinationsBinder m_binder;
    std::unique_ptr<ShortcutRecorder> m_recorder;
};

void ShortcutRecorderTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath(QStringLiteral("Kestrelle.conf"));
    m_log.lines.clear();
    m_binder.taken.clear();
    m_store = std::make_unique<SettingsStore>(m_file, m_log);
    m_recorder = std::make_unique<ShortcutRecorder>();
    m_recorder->attach(*m_store, m_binder);
    m_recorder->setAssociatedUserDefaultsKey(key);
    m_recorder->show();
}

void ShortcutRecorderTest::cleanup()
{
    m_recorder.reset();
    m_store.reset();
}

void ShortcutRecorderTest::storesTheCombinationTypedAfterAClick_data()
{
    QTest::addColumn<QList<int>>("modifierKeys");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("stored");

    using M = Qt::KeyboardModifiers;
    QTest::newRow("Ctrl+Shift+3") << QList<int>{Qt::Key_Control, Qt::Key_Shift} << int(Qt::Key_3)
                                  << M(Qt::ControlModifier | Qt::ShiftModifier) << "Ctrl+Shift+3";
    QTest::newRow("Alt+letter") << QList<int>{Qt::Key_Alt} << int(Qt::Key_P) << M(Qt::AltModifier) << "Alt+P";
    QTest::newRow("Super+Tab keeps focus")
        << QList<int>{Qt::Key_Meta} << int(Qt::Key_Tab) << M(Qt::MetaModifier) << "Meta+Tab";
    QTest::newRow("function key alone") << QList<int>{} << int(Qt::Key_F5) << M(Qt::NoModifier) << "F5";
    QTest::newRow("keypad flag dropped") << QList<int>{Qt::Key_Control} << int(Qt::Key_1)
                                         << M(Qt::ControlModifier | Qt::KeypadModifier) << "Ctrl+1";
}

void ShortcutRecorderTest::storesTheCombinationTypedAfterAClick()
{
    QFETCH(QList<int>, modifierKeys);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, stored);

    QCOMPARE(field()->text(), QStringLiteral("Record Shortcut"));
    QVERIFY(clearButton()->isHidden());
    startRecording();
    QVERIFY(m_recorder->isRecording());
    // Modifiers pressed on their own only show; the recording waits for the key.
    Qt::KeyboardModifiers held;
    for (const int modifierKey : modifierKeys) {
        held |= modifiers & (modifierKey == Qt::Key_Control ? Qt::ControlModifier
                             : modifierKey == Qt::Key_Shift ? Qt::ShiftModifier
                             : modifierKey == Qt::Key_Alt   ? Qt::AltModifier
                                                            : Qt::MetaModifier);
        QTest::keyPress(m_recorder.get(), Qt::Key(modifierKey), held);
        QVERIFY(m_recorder->isRecording());
        QVERIFY2(field()->text().endsWith(QStringLiteral("…")), qPrintable(field()->text()));
    }
    QVERIFY(storedValue().isNull());

    QTest::keyClick(m_recorder.get(), Qt::Key(key), modifiers);
    QVERIFY(!m_recorder->isRecording());
    QCOMPARE(storedValue(), QVariant(stored));
    QCOMPARE(field()->text(), QKeySequence(stored).toString(QKeySequence::NativeText));
    QVERIFY(!clearButton()->isHidden());
    QVERIFY(m_recorder->hint().isEmpty());
}

void ShortcutRecorderTest::refusesKeysThatWouldGetInTheWayOfTyping()
{
    store(QStringLiteral("Ctrl+Alt+P"));
    startRecording();
    for (const auto& [typed, modifiers] : {std::pair{Qt::Key_A, Qt::KeyboardModifiers(Qt::NoModifier)},
                                           std::pair{Qt::Key_A, Qt::KeyboardModifiers(Qt::ShiftModifier)},
                                           std::pair{Qt::Key_Space, Qt::KeyboardModifiers(Qt::NoModifier)}}) {
        QTest::keyClick(m_recorder.get(), typed, modifiers);
        QVERIFY2(m_recorder->isRecording(), "a refused key leaves the recording open");
        QVERIFY(!m_recorder->hint().isEmpty());
        QCOMPARE(storedValue(), QVariant(QStringLiteral("Ctrl+Alt+P")));
    }
    // The next acceptable combination is taken, and the hint goes away.
    QTest::keyClick(m_recorder.get(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(storedValue(), QVariant(QStringLiteral("Ctrl+A")));
    QVERIFY(m_recorder->hint().isEmpty());
}

void ShortcutRecorderTest::escapeCancelsAndKeepsThePreviousShortcut()
{
    store(QStringLiteral("Ctrl+Alt+P"));
    startRecording();
    QTest::keyPress(m_recorder.get(), Qt::Key_Control, Qt::ControlModifier);
    QTest::keyRelease(m_recorder.get(), Qt::Key_Control, Qt::NoModifier);
    QTest::keyClick(m_recorder.get(), Qt::Key_Escape);
    QVERIFY(!m_recorder->isRecording());
    QCOMPARE(storedValue(), QVariant(QStringLiteral("Ctrl+Alt+P")));
    QCOMPARE(field()->text(), QKeySequence(QStringLiteral("Ctrl+Alt+P")).toString(QKeySequence::NativeText));

    // A second click on the field cancels too.
    startRecording();
    startRecording();
    QVERIFY(!m_recorder->isRecording());
    QCOMPARE(storedValue(), QVariant(QStringLiteral("Ctrl+Alt+P")));
}

void ShortcutRecorderTest::backspaceDeleteAndTheClearButtonRemoveTheShortcut()
{
    for (const Qt::Key clearing : {Qt::Key_Backspace, Qt::Key_Delete}) {
        store(QStringLiteral("Ctrl+Alt+P"));
        startRecording();
        QTest::keyClick(m_recorder.get(), clearing);
        QVERIFY(!m_recorder->isRecording());
        QCOMPARE(storedValue(), QVariant(QString()));
        QCOMPARE(field()->text(), QStringLiteral("Record Shortcut"));
    }
    // With Ctrl, Delete is a combination like any other.
    startRecording();
    QTest::keyClick(m_recorder.get(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(storedValue(), QVariant(QStringLiteral("Ctrl+Del")));

    QTest::mouseClick(clearButton(), Qt::LeftButton);
    QCOMPARE(storedValue(), QVariant(QString()));
    QVERIFY(!m_recorder->shortcut());
    QVERIFY(clearButton()->isHidden());
}

void ShortcutRecorderTest::showsNothingForAStoredValueThatIsNotAShortcut_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::newRow("unreadable") << QVariant(QStringLiteral("Ctrl+Shift+Nonsense"));
    QTest::newRow("two combinations") << QVariant(QStringLiteral("Ctrl+A, Ctrl+B"));
    QTest::newRow("letter alone") << QVariant(QStringLiteral("A"));
    QTest::newRow("a number") << QVariant(42);
}

void ShortcutRecorderTest::showsNothingForAStoredValueThatIsNotAShortcut()
{
    QFETCH(QVariant, value);
    store(value);
    QVERIFY(!m_recorder->shortcut());
    QCOMPARE(field()->text(), QStringLiteral("Record Shortcut"));
    QVERIFY(clearButton()->isHidden());
    // Recording over it works as over an empty key.
    startRecording();
    QTest::keyClick(m_recorder.get(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(storedValue(), QVariant(QStringLiteral("Ctrl+Alt+K")));
}

void ShortcutRecorderTest::keepsThePreviousShortcutWhenTheBinderRefuses()
{
    store(QStringLiteral("Ctrl+Alt+P"));
    m_binder.taken.insert(QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_3).toCombined());
    startRecording();
    QTest::keyClick(m_recorder.get(), Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!m_recorder->isRecording());
    QCOMPARE(storedValue(), QVariant(QStringLiteral("Ctrl+Alt+P")));
    QCOMPARE(m_recorder->hint(), QStringLiteral("taken elsewhere"));
    QVERIFY(m_recorder->findChild<QLabel*>(QStringLiteral("hint"))->isVisible());

    // The hint stays until the next recording starts.
    startRecording();
    QVERIFY(m_recorder->hint().isEmpty());
}

void ShortcutRecorderTest::twoKeysCannotShareACombination()
{
    // Where no global shortcut can be had the recorders still work, and still keep keys apart.
    const std::unique_ptr<ShortcutBinder> binder = makeShortcutBinder(*m_store, m_log);
    QCOMPARE(m_log.lines.size(), 1);
    QVERIFY(m_log.lines[0].contains(QStringLiteral("not available in this session (offscreen)")));
    binder->bindShortcutWithDefaultsKey(key, [] {});
    binder->bindShortcutWithDefaultsKey(otherKey, [] {});
    ShortcutRecorder other;
    other.attach(*m_store, *binder);
    other.setAssociatedUserDefaultsKey(otherKey);
    m_recorder->attach(*m_store, *binder);
    store(QStringLiteral("Ctrl+Shift+3"));

    QTest::mouseClick(other.findChild<QPushButton*>(QStringLiteral("shortcutField")), Qt::LeftButton);
    QTest::keyClick(&other, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!other.shortcut());
    QVERIFY(other.hint().contains(QStringLiteral("already assigned")));
    QCOMPARE(m_log.lines.size(), 2);
    QVERIFY(m_log.lines[1].contains(otherKey));

    // Recording the same combination again under its own key is no conflict.
    startRecording();
    QTest::keyClick(m_recorder.get(), Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(m_recorder->hint().isEmpty());
    QCOMPARE(storedValue(), QVariant(QStringLiteral("Ctrl+Shift+3")));
}

QTEST_MAIN(ShortcutRecorderTest)
#include "tst_shortcutrecorder.moc"
