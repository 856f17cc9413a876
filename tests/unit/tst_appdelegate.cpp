#include "AppDelegate.h"
#include "CaptureCommand.h"
#include "TestPlatform.h"
#include "application/CommandLine.h"
#include "system/ProcessTaskLauncher.h"
#include "ui/Appearance.h"
#include "ui/InterfaceLoader.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeZone>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unicode/timezone.h>

namespace {

// Sets the user's locale variables and pins ICU's time zone, as a user's environment would. Empty
// values unset the variable.
void setUserLocale(const char* lcAll, const char* timeZone, const char* lcTime = "", const char* lang = "")
{
    for (const auto& [name, value] : {std::pair{"LC_ALL", lcAll}, {"LC_TIME", lcTime}, {"LANG", lang}}) {
        if (*value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZone)));
}

QDateTime newYork(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone("America/New_York"));
}

// From now on pidfd_open fails in this thread, as on a kernel without process descriptors.
bool refuseProcessDescriptors()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_pidfd_open, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{.len = static_cast<unsigned short>(std::size(filter)), .filter = filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

} // namespace

// The program's own logic: the file capture, the launch, the ways to reach the program without its tray,
// and the preference actions. Checked on the real program instead: the clipboard capture's arguments and
// the file names in the local time zone (e2e/menu.sh, install/prefix.sh), the first run's repair and the
// silent launch over values of other types (e2e/menu.sh, faults/settings.sh), the menu's entries
// (desktops/tray.sh), the window of commands and the command line on GNOME (desktops/reach.sh), and the
// looks' legibility and a person's click on each preference control (e2e/menu.sh).
class AppDelegateTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUserLocale("en_US.UTF-8", "America/New_York"); }

    void fileCaptureArgumentsAndName_data()
    {
        QTest::addColumn<QDateTime>("choice");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QVariant>("fileType"); // invalid: nothing stored
        QTest::addColumn<bool>("openInPreview");
        QTest::addColumn<bool>("playSound");
        QTest::addColumn<QStringList>("arguments"); // empty: nothing starts
        QTest::addColumn<QString>("said");          // what the capture's one log line names
        const QDateTime example = newYork(2031, 3, 7, 14, 5, 9);
        const QString name = QStringLiteral("Kestrelle on 03-07-2031 at 02.05.09 PM.png");
        const QVariant png = QStringLiteral("png");
        QTest::newRow("preview, silent") << example << "/tmp" << png << true << false
                                         << QStringList{"-P", "-x", "/tmp/" + name} << QString();
        QTest::newRow("midnight") << newYork(2031, 3, 8, 0, 0, 0) << "/tmp" << png << false << true
                                  << QStringList{"/tmp/Kestrelle on 03-08-2031 at 12.00.00 AM.png"}
                                  << QString();
        QTest::newRow("root folder") << example << "/" << png << false << true << QStringList{"//" + name}
                                     << QString();
        QTest::newRow("confirmed without a folder")
            << example << "" << png << false << true << QStringList() << "no directory";
        // A chooser's answer is a folder's whole path; the tool would read "-c" as an option and save
        // "shots" under the folder Kestrelle was started in.
        QTest::newRow("an option for a folder")
            << example << "-c" << png << false << true << QStringList() << "\"-c\"";
        QTest::newRow("a relative folder")
            << example << "shots" << png << false << true << QStringList() << "\"shots\"";
        QTest::newRow("no type stored")
            << example << "/tmp" << QVariant() << false << true << QStringList{"/tmp/" + name} << "png";
        QTest::newRow("type with a path")
            << example << "/tmp" << QVariant(QStringLiteral("png/../../etc/evil")) << false << true
            << QStringList{"/tmp/" + name} << "png";
        QTest::newRow("type with a NUL")
            << example << "/tmp" << QVariant(QStringLiteral("png") + QChar(0) + QStringLiteral("sh")) << false
            << true << QStringList{"/tmp/" + name} << "png";
    }
    void fileCaptureArgumentsAndName()
    {
        QFETCH(QDateTime, choice);
        QFETCH(QString, directory);
        QFETCH(QVariant, fileType);
        QFETCH(bool, openInPreview);
        QFETCH(bool, playSound);
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        TestPlatform test;
        if (fileType.isValid())
            test.defaults.setObject(fileType, QStringLiteral("screenshotFileType"));
        test.defaults.setObjects({{"openInPreview", openInPreview}, {"playSoundAfterScreenshot", playSound}});
        test.instant = choice;
        AppDelegate delegate(test.platform());

        delegate.captureDesktop();
        // The application comes forward once, right before its own chooser; nothing starts yet.
        QCOMPARE(test.journal, (QStringList{"activate", "chooser"}));
        // Changed while the chooser is open and confirmed two minutes later: the capture keeps the
        // settings and the moment of the menu choice.
        test.defaults.setObjects({{"screenshotFileType", "jpg"},
                                  {"openInPreview", !openInPreview},
                                  {"playSoundAfterScreenshot", !playSound}});
        test.instant = choice.addSecs(120);
        test.choosers.at(0)(DirectoryChooser::kResponseOK, directory);

        QCOMPARE(test.launches, arguments.isEmpty() ? std::vector<QStringList>() : std::vector{arguments});
        QCOMPARE(test.log.lines.size(), int(!said.isEmpty()));
        if (!said.isEmpty())
            QVERIFY(test.log.lines.last().contains(said));
    }

    // The date and time follow the formats locale (LC_ALL, else LC_TIME, else LANG), not the messages'.
    void theNameFollowsTheUsersFormats_data()
    {
        QTest::addColumn<QByteArray>("lcAll");
        QTest::addColumn<QByteArray>("lcTime");
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<QString>("time");
        QTest::newRow("British formats, American messages")
            << QByteArray() << QByteArray("en_GB.UTF-8") << QByteArray("en_US.UTF-8") << "02.05.09 pm";
        QTest::newRow("LC_ALL over LC_TIME")
            << QByteArray("en_US.UTF-8") << QByteArray("en_GB.UTF-8") << QByteArray() << "02.05.09 PM";
        QTest::newRow("the C locale")
            << QByteArray() << QByteArray("C.UTF-8") << QByteArray("en_GB.UTF-8") << "02.05.09 PM";
    }
    void theNameFollowsTheUsersFormats()
    {
        QFETCH(QByteArray, lcAll);
        QFETCH(QByteArray, lcTime);
        QFETCH(QByteArray, lang);
        QFETCH(QString, time);
        setUserLocale(lcAll.constData(), "Asia/Tokyo", lcTime.constData(), lang.constData());
        TestPlatform test;
        test.defaults.setObject(QStringLiteral("png"), QStringLiteral("screenshotFileType"));
        test.instant = QDateTime(QDate(2031, 3, 7), QTime(14, 5, 9), QTimeZone("Asia/Tokyo"));
        AppDelegate delegate(test.platform());
        delegate.captureDesktop();
        test.choosers.at(0)(DirectoryChooser::kResponseOK, QStringLiteral("/tmp"));
        setUserLocale("en_US.UTF-8", "America/New_York");
        QCOMPARE(test.launches.at(0).last(),
                 QStringLiteral("/tmp/Kestrelle on 03-07-2031 at %1.png").arg(time));
    }

    void theLaunchDressesTheWindowsAndShowsTheStore_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<OperatingSystemVersion>("version");
        QTest::addColumn<QVariantMap>("info");
        QTest::addColumn<QString>("userStyle"); // null: none stored
        QTest::addColumn<bool>("darkDesktop");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("versionText");
        QTest::addColumn<bool>("fires"); // false: no global shortcut fires, the commands to bind are shown
        const QVariantMap v2{{"CFBundleShortVersionString", "2.0"}};
        QTest::newRow("macOS 11.0: the minor number counts")
            << "macOS" << OperatingSystemVersion{11, 0, 0} << v2 << QString() << false << false
            << "Kestrelle for OS X"
            << "Version 2.0" << true;
        QTest::newRow("no version key, dark desktop")
            << "Linux" << OperatingSystemVersion{6, 1, 0} << QVariantMap() << QString() << true << true
            << "Kestrelle for Linux"
            << "Version unknown" << false;
        // Only the presence of a stored style counts, never its text.
        QTest::newRow("a number as version, user style Light")
            << "Linux" << OperatingSystemVersion{6, 1, 0} << QVariantMap{{"CFBundleShortVersionString", 42}}
            << "Light" << false << true << "Kestrelle for Linux"
            << "Version 42" << true;
    }
    void theLaunchDressesTheWindowsAndShowsTheStore()
    {
        QFETCH(QString, system);
        QFETCH(OperatingSystemVersion, version);
        QFETCH(QVariantMap, info);
        QFETCH(QString, userStyle);
        QFETCH(bool, darkDesktop);
        QFETCH(bool, dark);
        QFETCH(QString, name);
        QFETCH(QString, versionText);
        QFETCH(bool, fires);
        TestPlatform test([darkDesktop](const QString&) {
            return darkDesktop ? std::optional<QString>(QStringLiteral("Dark")) : std::nullopt;
        });
        test.defaults.setObjects({{"openInPreview", true},
                                  {"playSoundAfterScreenshot", false},
                                  {"screenshotFileTypeIndex", 2},
                                  {"screenshotFileType", "tiff"}});
        if (!userStyle.isNull())
            test.defaults.setObject(userStyle, QStringLiteral("AppleInterfaceStyle"));
        test.systemName = system;
        test.version = version;
        test.info = info;
        test.fires = fires;
        AppDelegate delegate(test.platform());
        InterfaceLoader loader(test.defaults, test);
        QVERIFY2(loader.load(QStringLiteral(":/Interface.ui"), delegate), qPrintable(loader.errorString()));
        // Shown otherwise before the launch, so that the launch has to set each control.
        delegate.playSoundBtn()->setCheckState(Qt::Checked);
        delegate.fileTypePicker()->setCurrentIndex(1);
        delegate.applicationDidFinishLaunching();

        QCOMPARE(test.journal.mid(0, 2),
                 (QStringList{"bind CaptureShortcut", "bind CaptureClipboardShortcut"}));
        QCOMPARE(delegate.openInPreviewBtn()->checkState(), Qt::Checked);
        QCOMPARE(delegate.playSoundBtn()->checkState(), Qt::Unchecked);
        QCOMPARE(delegate.fileTypePicker()->currentIndex(), 2);
        QCOMPARE(delegate.nameText()->text(), name);
        QCOMPARE(delegate.versionText()->text(), versionText);
        const QPalette looks =
            appearanceNamed(dark ? AppearanceName::VibrantDark : AppearanceName::VibrantLight);
        for (QWidget* view :
             {delegate.aboutVisualView(), delegate.prefsVisualView(), delegate.shortcutVisualView()})
            QCOMPARE(view->palette().color(QPalette::Window), looks.color(QPalette::Window));
        QWidget& shortcuts = *delegate.shortcutsWindow();
        const auto shown = [&] {
            QStringList commands;
            for (const QLineEdit* field : shortcuts.findChildren<QLineEdit*>()) {
                if (field->isVisibleTo(&shortcuts))
                    commands << field->text();
            }
            for (const QWidget* recorder :
                 {delegate.captureDesktopSCV(), delegate.captureDesktopClipboardSCV()})
                commands << QString::number(recorder->isVisibleTo(&shortcuts));
            return commands;
        };
        const QStringList toBind{"kestrelle --capture-desktop", "kestrelle --capture-to-clipboard", "0", "0"};
        const QStringList recorders{"1", "1"};
        QCOMPARE(shown(), fires ? recorders : toBind);
        // A desktop may refuse them only when it answers the binding, after the launch.
        if (fires) {
            emit test.refusedByDesktop();
            QCOMPARE(shown(), toBind);
        }
    }

    void theWindowsButtonsRunTheMenuEntriesAndOnlyANameIsAnAction()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        delegate.applicationDidFinishLaunching();
        // The offscreen platform has no tray: a start shows the window of commands.
        delegate.applicationShouldHandleReopen();
        const QList<QPushButton*> buttons = delegate.m_commandsWindow->findChildren<QPushButton*>();
        test.journal.clear();
        for (const char* title : {"Capture Desktop to Clipboard", "Capture Desktop", "Quit Kestrelle"}) {
            QTest::mouseClick(
                *std::find_if(buttons.cbegin(), buttons.cend(),
                              [title](const QPushButton* button) { return button->text() == title; }),
                Qt::LeftButton);
        }
        QCOMPARE(test.journal, (QStringList{"launch", "activate", "chooser", "terminate"}));
        QCOMPARE(test.launches.at(0), (QStringList{"-c", "-x"}));

        QVERIFY(!delegate.performAction("Capture Desktop"));
        QCOMPARE(test.journal.size(), 4);
    }

    void theCommandLineNamesOneActionOrRefusesInOneLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Request>("request");
        QTest::addColumn<QString>("result"); // the action to run, or the text to print
        using enum CommandLine::Request;
        // Qt takes its own options when the application is made.
        QTest::newRow("Qt's options")
            << QStringList{"-platform", "xcb", "--quit", "-display", ":3"} << Run << "quit";
        QTest::newRow("a restored session") << QStringList{"-session", "10d2f3e4"} << Run << QString();
        QTest::newRow("version") << QStringList{"--version"} << Version << "kestrelle 1.2.3\n";
        const std::pair<QStringList, QString> refused[] = {
            {{"-x"}, "Unknown option 'x'"},
            {{"shots"}, "Unexpected argument 'shots'"},
            {{"--about", "--quit"}, "One option at a time: --about or --quit"},
        };
        for (const auto& [arguments, reason] : refused)
            QTest::newRow(qPrintable(arguments.join(' ')))
                << arguments << Refuse << reason + "; --help lists the options";
    }
    void theCommandLineNamesOneActionOrRefusesInOneLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Request, request);
        QFETCH(QString, result);
        const CommandLine line = CommandLine::parse(QStringList{"/usr/bin/kestrelle"} + arguments,
                                                    AppDelegate::namedActions(), QStringLiteral("1.2.3"));
        QCOMPARE(line.request, request);
        QCOMPARE(line.action.value_or(QString()), request == CommandLine::Request::Run ? result : QString());
        QCOMPARE(line.text, request == CommandLine::Request::Run ? QString() : result);
    }

    // Only a check mark is on: a mixed box and a missing one are off. The sender is never looked at.
    void aCheckBoxStoresOnlyACheckMarkAsOn()
    {
        for (const bool missing : {false, true}) {
            TestPlatform test;
            // Writes join the log, so that the test sees the message come before its write.
            connect(&test.defaults, &SettingsStore::valueChanged,
                    [&test](const QString& key) { test.log.lines << QStringLiteral("write ") + key; });
            AppDelegate delegate(test.platform());
            QCheckBox box, sender;
            box.setTristate(true);
            box.setCheckState(Qt::PartiallyChecked);
            if (!missing)
                delegate.setOpenInPreviewBtn(&box);
            sender.setCheckState(Qt::Checked);
            delegate.openInPreview(&sender);

            QCOMPARE(
                test.log.lines,
                (QStringList{"Setting changed: Not opening screenshot in Preview after saving is complete",
                             "write openInPreview"}));
            QVERIFY(!test.defaults.boolForKey("openInPreview"));
        }
    }

    void aPickerWithoutSelectionStoresNothing()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        delegate.fileType(nullptr);
        QComboBox empty;
        delegate.setFileTypePicker(&empty);
        delegate.fileType(&empty);
        QVERIFY(test.log.lines.isEmpty());
        QVERIFY(!QFile::exists(test.settingsPath));
    }

    // The window of commands is never in a capture: it leaves the screen while the tool runs, and a start
    // meanwhile brings it back only once the tool has ended, also where the system cannot watch the tool's
    // process. Last: once refused, process descriptors stay refused.
    void theWindowOfCommandsWaitsForTheCaptureToEnd_data()
    {
        QTest::addColumn<bool>("descriptors");
        QTest::newRow("process descriptors") << true;
        QTest::newRow("a kernel without process descriptors") << false;
    }
    void theWindowOfCommandsWaitsForTheCaptureToEnd()
    {
        QFETCH(bool, descriptors);
        if (QFile::exists(kScreencaptureLaunchPath))
            QSKIP("the system's own capture tool is installed here and would capture the screen");
        if (!descriptors)
            QVERIFY(refuseProcessDescriptors());
        TestPlatform test;
        // Busy for a second, as a capture is while it grabs and stores.
        const QString ended = test.dir.filePath(QStringLiteral("ended"));
        QFile tool(test.dir.filePath(QStringLiteral("screencapture")));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\nsleep 1\ntouch '" + QFile::encodeName(ended) + "'\n");
        tool.close();
        QVERIFY(tool.setPermissions(tool.permissions() | QFileDevice::ExeOwner));
        ProcessTaskLauncher launcher(test.log, {test.dir.path()});
        AppDelegate delegate({test.defaults, launcher, test, test, test.log, test, test});
        delegate.applicationDidFinishLaunching();
        delegate.applicationShouldHandleReopen();
        const QWidget& window = *delegate.m_commandsWindow;
        QVERIFY(window.isVisible());

        delegate.captureToClipboard();
        QTest::qWait(200);
        delegate.applicationShouldHandleReopen();
        for (const QDeadlineTimer deadline(5000); !QFile::exists(ended) && !deadline.hasExpired();) {
            QVERIFY(!window.isVisible());
            QTest::qWait(20);
        }
        QVERIFY(QFile::exists(ended));
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 2000);
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    AppDelegateTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_appdelegate.moc"
