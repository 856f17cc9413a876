#include "AppDelegate.h"
#include "TestPlatform.h"
#include "ui/Appearance.h"
#include "ui/InterfaceLoader.h"
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

// The program's own interface file, its objects set into the delegate; the loader owns them.
std::unique_ptr<InterfaceLoader> loadInterface(TestPlatform& test, AppDelegate& delegate)
{
    auto loader = std::make_unique<InterfaceLoader>(test.defaults, test.binder);
    return loader->load(QStringLiteral(":/Interface.ui"), delegate) ? std::move(loader) : nullptr;
}

} // namespace

class LaunchSequenceTest : public QObject {
    Q_OBJECT

private slots:
    // The controls show the store. A first run stores the file type pair once; values of other types
    // show as off and the first item, and count as set: that launch says nothing and writes nothing.
    void theControlsShowTheStoreAndAFirstRunStoresThePairOnce_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("type"); // as stored after the launch
        QTest::addColumn<QString>("index");
        QTest::addColumn<Qt::CheckState>("preview");
        QTest::addColumn<int>("picker");
        QTest::newRow("first run") << QVariantMap() << QStringList{kRepairLine} << "png"
                                   << "0" << Qt::Unchecked << 0;
        QTest::newRow("stored values") << QVariantMap{{"openInPreview", true},
                                                      {"playSoundAfterScreenshot", false},
                                                      {"screenshotFileTypeIndex", 2},
                                                      {"screenshotFileType", "tiff"}}
                                       << QStringList() << "tiff"
                                       << "2" << Qt::Checked << 2;
        QTest::newRow("values of other types") << QVariantMap{{"screenshotFileTypeIndex", "jpg"},
                                                              {"openInPreview", "maybe"},
                                                              {"playSoundAfterScreenshot", "@junk"}}
                                               << QStringList() << QString() << "jpg" << Qt::Unchecked << 0;
    }
    void theControlsShowTheStoreAndAFirstRunStoresThePairOnce()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QStringList, log);
        QFETCH(QString, type);
        QFETCH(QString, index);
        QFETCH(Qt::CheckState, preview);
        QFETCH(int, picker);
        TestPlatform test;
        test.defaults.setObjects(stored);
        const QByteArray before = fileBytes(test.settingsPath);
        AppDelegate delegate(test.platform());
        const auto loader = loadInterface(test, delegate);
        QVERIFY(loader);
        // Shown otherwise before the launch, so that the launch has to set each control.
        delegate.openInPreviewBtn()->setCheckState(preview == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        delegate.playSoundBtn()->setCheckState(Qt::Checked);
        delegate.fileTypePicker()->setCurrentIndex(picker == 0 ? 1 : 0);
        delegate.applicationDidFinishLaunching();

        QCOMPARE(messages(test.log), log);
        QCOMPARE(delegate.openInPreviewBtn()->checkState(), preview);
        QCOMPARE(delegate.playSoundBtn()->checkState(), Qt::Unchecked);
        QCOMPARE(delegate.fileTypePicker()->currentIndex(), picker);
        QCOMPARE(test.defaults.stringForKey("screenshotFileType").value_or(QString()), type);
        QCOMPARE(test.defaults.objectForKey("screenshotFileTypeIndex").value_or(QVariant()).toString(),
                 index);
        for (const char* key : {"openInPreview", "playSoundAfterScreenshot"})
            QCOMPARE(test.defaults.objectForKey(key).has_value(), stored.contains(key));
        if (log.isEmpty())
            QCOMPARE(fileBytes(test.settingsPath), before);

        // The next start finds the pair: no message, no write.
        const QByteArray after = fileBytes(test.settingsPath);
        test.log.lines.clear();
        AppDelegate(test.platform()).applicationDidFinishLaunching();
        QVERIFY(messages(test.log).isEmpty());
        QCOMPARE(fileBytes(test.settingsPath), after);
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
        AppDelegate delegate(test.platform());
        const auto loader = loadInterface(test, delegate);
        QVERIFY(loader);
        delegate.applicationDidFinishLaunching();

        QCOMPARE(delegate.nameText()->text(), name);
        QCOMPARE(delegate.versionText()->text(), versionText);
        const QPalette looks =
            appearanceNamed(dark ? AppearanceName::VibrantDark : AppearanceName::VibrantLight);
        for (QWidget* view :
             {delegate.aboutVisualView(), delegate.prefsVisualView(), delegate.shortcutVisualView()}) {
            QCOMPARE(view->palette().color(QPalette::Window), looks.color(QPalette::Window));
            QVERIFY(view->autoFillBackground());
        }
        for (QWidget* window : {delegate.window(), delegate.prefsWindow(), delegate.shortcutsWindow()})
            QVERIFY(titlebarAppearsTransparent(*window));
    }

    // The entries' titles are read from every real tray (desktops/tray.sh).
    void theStatusItemHasAMaskIconAndEntriesWithoutKeys()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        delegate.applicationDidFinishLaunching();
        QSystemTrayIcon* item = delegate.m_statusItem.get();
        QVERIFY(!item->icon().isNull());
        QVERIFY(item->icon().isMask());
        QCOMPARE(item->contextMenu(), delegate.m_menu.get());
        for (const QAction* entry : delegate.m_menu->actions())
            QVERIFY(entry->shortcut().isEmpty());
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
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    LaunchSequenceTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_launchsequence.moc"
