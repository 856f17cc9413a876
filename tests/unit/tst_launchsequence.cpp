#include "AppDelegate.h"
#include "TestPlatform.h"
#include "ui/Appearance.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QFile>
#include <QTest>

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kRepairLine = QStringLiteral("Error: No value set for screenshotFileTypeIndex. Setting now...");

// The offscreen platform has no tray, which the program rightly mentions; the tests look past that line.
QStringList messages(const RecordingLog& log)
{
    QStringList lines = log.lines;
    lines.removeIf([](const QString& line) { return line.startsWith(QLatin1String("No system tray")); });
    return lines;
}

// The interface file's objects, made by hand so each test can leave some out.
struct Outlets {
    explicit Outlets(TestPlatform& test)
    {
        for (QWidget* window : {&about, &prefs, &shortcuts})
            window->setAttribute(Qt::WA_DontShowOnScreen);
        picker.addItems({"PNG", "JPG", "TIFF"});
        captureRecorder.attach(test.defaults, test.binder);
        clipboardRecorder.attach(test.defaults, test.binder);
    }
    void connect(AppDelegate& delegate)
    {
        delegate.setWindow(&about);
        delegate.setPrefsWindow(&prefs);
        delegate.setShortcutsWindow(&shortcuts);
        delegate.setNameText(&nameText);
        delegate.setVersionText(&versionText);
        delegate.setCaptureDesktopSCV(&captureRecorder);
        delegate.setCaptureDesktopClipboardSCV(&clipboardRecorder);
        delegate.setShortcutVisualView(&shortcutView);
        delegate.setPrefsVisualView(&prefsView);
        delegate.setAboutVisualView(&aboutView);
        delegate.setOpenInPreviewBtn(&openInPreview);
        delegate.setPlaySoundBtn(&playSound);
        delegate.setFileTypePicker(&picker);
    }
    QWidget about, prefs, shortcuts, shortcutView, prefsView, aboutView;
    QLabel nameText, versionText;
    ShortcutRecorder captureRecorder, clipboardRecorder;
    QCheckBox openInPreview, playSound;
    QComboBox picker;
};

} // namespace

class LaunchSequenceTest : public QObject {
    Q_OBJECT

private slots:
    void aFirstRunStoresTheFileTypePairOnce()
    {
        TestPlatform test;
        Outlets outlets(test);
        outlets.openInPreview.setCheckState(Qt::Checked);
        outlets.picker.setCurrentIndex(2);
        AppDelegate delegate(test.platform());
        outlets.connect(delegate);
        delegate.applicationDidFinishLaunching();

        QCOMPARE(messages(test.log), QStringList{kRepairLine});
        QCOMPARE(test.defaults.objectForKey("screenshotFileTypeIndex"), QVariant("0"));
        QCOMPARE(test.defaults.stringForKey("screenshotFileType"), QStringLiteral("png"));
        QVERIFY(!test.defaults.objectForKey("openInPreview"));
        QVERIFY(!test.defaults.objectForKey("playSoundAfterScreenshot"));
        QCOMPARE(outlets.openInPreview.checkState(), Qt::Unchecked);
        QCOMPARE(outlets.playSound.checkState(), Qt::Unchecked);
        QCOMPARE(outlets.picker.currentIndex(), 0);

        // The next start finds the pair: no message, no write.
        const QByteArray stored = fileBytes(test.settingsPath);
        test.log.lines.clear();
        AppDelegate(test.platform()).applicationDidFinishLaunching();
        QVERIFY(messages(test.log).isEmpty());
        QCOMPARE(fileBytes(test.settingsPath), stored);
    }

    // Values of other types, shown as off and the first item, make the launch say nothing at all.
    void anyValueUnderTheIndexCountsAsSet()
    {
        TestPlatform test;
        test.defaults.setObject(QStringLiteral("jpg"), QStringLiteral("screenshotFileTypeIndex"));
        test.defaults.setObject(QStringLiteral("maybe"), QStringLiteral("openInPreview"));
        test.defaults.setObject(QStringLiteral("@junk"), QStringLiteral("playSoundAfterScreenshot"));
        const QByteArray stored = fileBytes(test.settingsPath);
        Outlets outlets(test);
        AppDelegate delegate(test.platform());
        outlets.connect(delegate);
        delegate.applicationDidFinishLaunching();
        QCOMPARE(messages(test.log), QStringList());
        QCOMPARE(outlets.openInPreview.checkState(), Qt::Unchecked);
        QCOMPARE(fileBytes(test.settingsPath), stored);
        QCOMPARE(test.defaults.stringForKey("screenshotFileType"), std::nullopt);
    }

    void theControlsShowTheStore()
    {
        TestPlatform test;
        test.defaults.setBool(true, QStringLiteral("openInPreview"));
        test.defaults.setBool(false, QStringLiteral("playSoundAfterScreenshot"));
        test.defaults.setInteger(2, QStringLiteral("screenshotFileTypeIndex"));
        test.defaults.setObject(QStringLiteral("tiff"), QStringLiteral("screenshotFileType"));
        test.defaults.setObject(QStringLiteral("Ctrl+Shift+3"), QStringLiteral("CaptureShortcut"));
        Outlets outlets(test);
        outlets.playSound.setCheckState(Qt::Checked);
        AppDelegate delegate(test.platform());
        outlets.connect(delegate);
        delegate.applicationDidFinishLaunching();

        QCOMPARE(outlets.openInPreview.checkState(), Qt::Checked);
        QCOMPARE(outlets.playSound.checkState(), Qt::Unchecked);
        QCOMPARE(outlets.picker.currentIndex(), 2);
        QCOMPARE(outlets.captureRecorder.associatedUserDefaultsKey(), QStringLiteral("CaptureShortcut"));
        QCOMPARE(outlets.captureRecorder.shortcut(), QKeyCombination(Qt::CTRL | Qt::SHIFT | Qt::Key_3));
        QCOMPARE(outlets.clipboardRecorder.associatedUserDefaultsKey(),
                 QStringLiteral("CaptureClipboardShortcut"));
        QVERIFY(messages(test.log).isEmpty());
    }

    void theWindowsAreDressed_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<OperatingSystemVersion>("version");
        QTest::addColumn<QVariantMap>("info");
        QTest::addColumn<QString>("userStyle"); // null: none stored
        QTest::addColumn<bool>("darkDesktop");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("versionText");
        const QVariantMap v2{{"CFBundleShortVersionString", "2.0"}};
        QTest::newRow("macOS 10.12.0, dark desktop") << "macOS" << OperatingSystemVersion{10, 12, 0} << v2
                                                     << QString() << true << true << "Kestrelle for macOS"
                                                     << "Version 2.0";
        QTest::newRow("macOS 11.0: the minor number counts")
            << "macOS" << OperatingSystemVersion{11, 0, 0} << v2 << QString() << false << false
            << "Kestrelle for OS X"
            << "Version 2.0";
        QTest::newRow("no version key") << "Linux" << OperatingSystemVersion{6, 1, 0} << QVariantMap()
                                        << QString() << true << true << "Kestrelle for Linux"
                                        << "Version unknown";
        // Only the presence of a stored style counts, never its text.
        QTest::newRow("a number as version, user style Light")
            << "Linux" << OperatingSystemVersion{6, 1, 0} << QVariantMap{{"CFBundleShortVersionString", 42}}
            << "Light" << false << true << "Kestrelle for Linux"
            << "Version 42";
    }
    void theWindowsAreDressed()
    {
        QFETCH(QString, system);
        QFETCH(OperatingSystemVersion, version);
        QFETCH(QVariantMap, info);
        QFETCH(QString, userStyle);
        QFETCH(bool, darkDesktop);
        QFETCH(bool, dark);
        QFETCH(QString, name);
        QFETCH(QString, versionText);
        TestPlatform test([darkDesktop](const QString&) {
            return darkDesktop ? std::optional<QString>(QStringLiteral("Dark")) : std::nullopt;
        });
        if (!userStyle.isNull())
            test.defaults.setObject(userStyle, QStringLiteral("AppleInterfaceStyle"));
        test.application.name = system;
        test.application.version = version;
        test.application.info = info;
        Outlets outlets(test);
        AppDelegate delegate(test.platform());
        outlets.connect(delegate);
        delegate.applicationDidFinishLaunching();

        QCOMPARE(outlets.nameText.text(), name);
        QCOMPARE(outlets.versionText.text(), versionText);
        const QPalette looks =
            appearanceNamed(dark ? AppearanceName::VibrantDark : AppearanceName::VibrantLight);
        for (QWidget* view : {&outlets.aboutView, &outlets.prefsView, &outlets.shortcutView}) {
            QCOMPARE(view->palette().color(QPalette::Window), looks.color(QPalette::Window));
            QVERIFY(view->autoFillBackground());
        }
        for (QWidget* window : {&outlets.about, &outlets.prefs, &outlets.shortcuts})
            QVERIFY(titlebarAppearsTransparent(*window));
    }

    void theStatusItemHasAMaskIconAndNineEntriesWithoutKeys()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        delegate.applicationDidFinishLaunching();
        QSystemTrayIcon* item = delegate.m_statusItem.get();
        QVERIFY(!item->icon().isNull());
        QVERIFY(item->icon().isMask());
        QCOMPARE(item->contextMenu(), delegate.m_menu.get());

        const QList<QAction*> entries = delegate.m_menu->actions();
        QStringList titles;
        for (const QAction* entry : entries) {
            titles << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
            QVERIFY(entry->shortcut().isEmpty());
        }
        QCOMPARE(titles, (QStringList{"Capture Desktop", "Capture Desktop to Clipboard", "-",
                                      "Set keyboard shortcuts...", "-", "Preferences...", "-",
                                      "About Kestrelle", "Quit Kestrelle"}));
    }

    // What each entry and shortcut does is checked end to end (e2e/menu.sh, e2e/shortcuts.sh).
    void theShortcutsAreBoundBeforeAnythingElseAtLaunch()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        delegate.applicationDidFinishLaunching();
        QCOMPARE(test.journal.steps.mid(0, 2),
                 (QStringList{"bind CaptureShortcut", "bind CaptureClipboardShortcut"}));
    }

    void withEveryOutletAbsentTheRestStillRuns()
    {
        TestPlatform test;
        Outlets outlets(test);
        AppDelegate delegate(test.platform());
        outlets.connect(delegate);
        // Outlets are weak: objects that went away are skipped silently.
        {
            Outlets gone(test);
            gone.connect(delegate);
        }
        QCOMPARE(delegate.fileTypePicker(), nullptr);
        delegate.applicationDidFinishLaunching();
        QCOMPARE(test.binder.bindings.size(), 2u);
        QCOMPARE(delegate.m_menu->actions().size(), 9);
        QCOMPARE(messages(test.log), QStringList{kRepairLine});
        QCOMPARE(test.defaults.stringForKey("screenshotFileType"), QStringLiteral("png"));
    }

    void quittingWritesNothing()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        delegate.applicationDidFinishLaunching();
        const QByteArray stored = fileBytes(test.settingsPath);
        test.journal.steps.clear();
        delegate.quit();
        delegate.applicationWillTerminate();
        QCOMPARE(test.journal.steps, QStringList{"terminate"});
        QCOMPARE(fileBytes(test.settingsPath), stored);
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    LaunchSequenceTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_launchsequence.moc"
