#include "TestPlatform.h"
#include "application/SingleInstance.h"
#include "system/ProcessTaskLauncher.h"
#include "system/StderrLog.h"
#include "ui/FileDialogDirectoryChooser.h"
#include "ui/InterfaceLoader.h"
#include "ui/PortalDirectoryChooser.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QFile>
#include <QFileDialog>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A stand-in tool in the folder, running the shell script.
QString writeTool(const QString& folder, const QByteArray& script)
{
    const QString path = QDir(folder).filePath(QStringLiteral("screencapture"));
    writeFile(path, "#!/bin/sh\n" + script + "\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

// Runs the action once, as the window is shown: before it has reached the screen.
class OnShow final : public QObject {
public:
    OnShow(QWidget& window, std::function<void()> action) : m_action(std::move(action))
    {
        window.installEventFilter(this);
    }
    bool done() const { return !m_action; }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && m_action)
            std::exchange(m_action, {})();
        return false;
    }

private:
    std::function<void()> m_action;
};

} // namespace

// The owner of a small interface file: one outlet and one action; the program's own file, which fits,
// is loaded by the other unit tests.
class SoundOwner : public QObject {
    Q_OBJECT
    Q_PROPERTY(QCheckBox* soundBtn READ soundBtn WRITE setSoundBtn)

public:
    QCheckBox* soundBtn() const { return m_soundBtn; }
    void setSoundBtn(QCheckBox* value) { m_soundBtn = value; }

public slots:
    void playSound(QObject*) {}

private:
    QPointer<QCheckBox> m_soundBtn;
};

class PlatformTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    RecordingLog m_log;
    QString path() const { return m_dir.filePath(QStringLiteral("Kestrelle.conf")); }

private slots:
    void init()
    {
        QFile::remove(path());
        m_log.lines.clear();
    }

    // The tool's own runs, with the arguments each capture passes, are the end-to-end tests' and the
    // installed program's (install/prefix.sh); a tool missing everywhere is faults/environment.sh's.
    void theLauncherTakesTheSystemToolElseTheFirstExecutableStandIn()
    {
        QTemporaryDir system, plain, bundled;
        writeFile(plain.filePath(QStringLiteral("screencapture")), {}); // not executable
        const QString tool = writeTool(bundled.path(), {});
        const ProcessTaskLauncher launcher(m_log, {plain.path(), bundled.path()});

        QCOMPARE(launcher.resolve(system.filePath(QStringLiteral("screencapture"))), tool);
        const QString systemTool = writeTool(system.path(), {});
        QCOMPARE(launcher.resolve(systemTool), systemTool);
    }

    void aWindowKeptOutOfCapturesLeavesTheScreenWhileTheToolRuns()
    {
        // Stays a moment after it has said that it started, as a capture does while it grabs and stores.
        const QString started = writeTool(m_dir.path(), "touch \"$0.started\"; sleep 0.5") + ".started";
        ProcessTaskLauncher launcher(m_log, {m_dir.path()});
        QWidget keptOut, other;
        keepOutOfCaptures(keptOut);
        QObject watching;
        bool used = false;
        whenUsed(keptOut, watching, [&used] { used = true; });
        keptOut.show();
        other.show();

        launcher.launch(QStringLiteral("/nonexistent/screencapture"), {QStringLiteral("-c")});
        QVERIFY(!keptOut.isVisible());
        QVERIFY(other.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), 5000);
        QVERIFY(!keptOut.isVisible());

        // Asked for again as the window comes back, before it is on the screen (a shortcut pressed twice):
        // it leaves once it has arrived, and only then does the tool start.
        QVERIFY(QFile::remove(started));
        bool visibleAfterLaunch = false;
        OnShow again(keptOut, [&] {
            launcher.launch(QStringLiteral("/nonexistent/screencapture"), {QStringLiteral("-c")});
            visibleAfterLaunch = keptOut.isVisible();
        });
        QTRY_VERIFY_WITH_TIMEOUT(again.done(), 5000);
        QVERIFY(visibleAfterLaunch);
        QTRY_VERIFY(!keptOut.isVisible());
        QVERIFY(!QFile::exists(started));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(keptOut.isVisible(), 5000);

        // A window that is not on screen stays off it.
        keptOut.hide();
        QVERIFY(QFile::remove(started));
        launcher.launch(QStringLiteral("/nonexistent/screencapture"), {QStringLiteral("-c")});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), 5000);
        QTest::qWait(800);
        QVERIFY(!keptOut.isVisible());

        // None of that was the person's doing; a window closed while it is off the screen stays closed.
        QVERIFY(!used);
        keptOut.show();
        QVERIFY(QFile::remove(started));
        launcher.launch(QStringLiteral("/nonexistent/screencapture"), {QStringLiteral("-c")});
        QVERIFY(!keptOut.isVisible());
        closeWindow(keptOut);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), 5000);
        QTest::qWait(800);
        QVERIFY(!keptOut.isVisible());
        QVERIFY(used);
        QVERIFY(m_log.lines.isEmpty());
    }

    void theLockLivesOnlyInAFolderOfTheUsersOwn()
    {
        const QString folder = m_dir.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkdir(folder));
        const QString lock = QDir(folder).filePath(QStringLiteral("kestrelle-%1.lock").arg(::getuid()));
        const auto lockIn = [&folder](const QString& path, mode_t mode = 0700) {
            ::chmod(QFile::encodeName(folder).constData(), mode);
            return SingleInstance::lockPathIn(path).value_or("none");
        };

        QCOMPARE(lockIn(folder), lock);
        QCOMPARE(lockIn(folder, 0711), QStringLiteral("none"));
        // A link may be turned to somewhere else after the check.
        QVERIFY(QFile::link(folder, m_dir.filePath(QStringLiteral("link"))));
        QCOMPARE(lockIn(m_dir.filePath(QStringLiteral("link"))), QStringLiteral("none"));
        QCOMPARE(lockIn(m_dir.filePath(QStringLiteral("missing"))), QStringLiteral("none"));
        QCOMPARE(lockIn(QString()), QStringLiteral("none"));
        if (::getuid() == 0) {
            QCOMPARE(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
            QCOMPARE(lockIn(folder), QStringLiteral("none"));
            QCOMPARE(::chown(QFile::encodeName(folder).constData(), 0, 0), 0);
        }

        const SingleInstance first(lock);
        const SingleInstance second(lock);
        QVERIFY(first.isFirst());
        QVERIFY(!second.isFirst());
        QCOMPARE(second.runningProcess(), QCoreApplication::applicationPid());
    }

    void logLinesCarryTimeProcessAndOneLineOfText()
    {
        int pipeEnds[2];
        QCOMPARE(::pipe(pipeEnds), 0);
        const int savedStderr = ::dup(STDERR_FILENO);
        ::dup2(pipeEnds[1], STDERR_FILENO);
        StderrLog(QStringLiteral("kestrelle")).log(QStringLiteral("first\nsecond\tü"));
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
        ::close(pipeEnds[1]);
        char buffer[512] = {};
        const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer - 1);
        ::close(pipeEnds[0]);
        const QString line = QString::fromUtf8(buffer, n);
        const QRegularExpression form(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "
                                                     "kestrelle\\[%1\\] first\\\\x0asecond\\\\x09ü\\n$")
                                          .arg(QCoreApplication::applicationPid()));
        QVERIFY2(form.match(line).hasMatch(), qPrintable(line));
    }

    // The session bus has nothing on it (dbus-run-session): the desktop's portal is missing, as on a bare
    // X11 desktop.
    void withoutAPortalTheChooserIsQtsOwnAndSaysSoOnce()
    {
        PortalDirectoryChooser chooser(QDBusConnection::sessionBus(),
                                       std::make_unique<FileDialogDirectoryChooser>(), m_log);
        std::vector<qint64> answers;
        const auto answer = [&](qint64 r, const QString&) { answers.push_back(r); };
        const auto openDialogs = [] {
            QList<QFileDialog*> dialogs;
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
                    dialogs << dialog;
            }
            return dialogs;
        };
        chooser.begin(QStringLiteral("Save"), answer);
        chooser.begin(QStringLiteral("Save"), answer);
        QTRY_COMPARE(openDialogs().size(), 2);
        chooser.begin(QStringLiteral("Save"), answer);
        QCOMPARE(openDialogs().size(), 3);
        for (QFileDialog* dialog : openDialogs())
            dialog->reject();
        QCOMPARE(answers, std::vector<qint64>(3, DirectoryChooser::kResponseCancel));
        QCOMPARE(m_log.lines.size(), 1);
        QVERIFY2(m_log.lines.constFirst().startsWith(
                     QStringLiteral("The desktop portal offers no folder chooser (")),
                 qPrintable(m_log.lines.constFirst()));
    }

    void anInterfaceFileThatDoesNotFitItsOwnerIsRefused_data()
    {
        QTest::addColumn<QByteArray>("control");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("action without slot")
            << QByteArray(R"(<widget class="QCheckBox" name="soundBtn">
                <property name="action" stdset="0"><string>playSond:</string></property></widget>)")
            << QStringLiteral(R"("soundBtn" sends the action "playSond:", which SoundOwner has no slot for)");
        QTest::newRow("outlet without object")
            << QByteArray(R"(<widget class="QCheckBox" name="soundButton"/>)")
            << QStringLiteral(R"(no object is named "soundBtn", as SoundOwner's outlet of that name needs)");
        QTest::newRow("outlet of another class")
            << QByteArray(R"(<widget class="QLabel" name="soundBtn"/>)")
            << QStringLiteral(
                   R"("soundBtn" is a QLabel, which SoundOwner's outlet of that name cannot hold)");
    }

    void anInterfaceFileThatDoesNotFitItsOwnerIsRefused()
    {
        QFETCH(QByteArray, control);
        QFETCH(QString, refusal);
        const QString file = m_dir.filePath(QStringLiteral("Interface.ui"));
        writeFile(
            file,
            R"(<ui version="4.0"><widget class="QWidget" name="Interface"><widget class="QWidget" name="window">
            <layout class="QVBoxLayout" name="layout"><item>)" +
                control + "</item></layout></widget></widget></ui>");
        TestPlatform test;
        SoundOwner owner;
        InterfaceLoader loader(test.defaults, test);
        QVERIFY(!loader.load(file, owner));
        QCOMPARE(loader.errorString(), refusal);
        QVERIFY(!owner.soundBtn());
        QVERIFY(loader.windows().empty());
    }

    void aWriteIsInTheFileWhenTheCallReturnsAndAnotherProgramsIsReadAtOnce()
    {
        const QString file = m_dir.filePath(QStringLiteral("new/Kestrelle.conf"));
        SettingsStore store(file, m_log);
        QCOMPARE(store.objectForKey(QStringLiteral("screenshotFileTypeIndex")), std::nullopt);
        QVERIFY2(!QFile::exists(file), "reading must not create the settings file");
        store.setInteger(3, QStringLiteral("screenshotFileTypeIndex"));
        // Not at some later flush: a kill right after the call must find it in the file.
        QVERIFY(readFile(file).contains("screenshotFileTypeIndex=3"));
        writeFile(file, "[General]\nscreenshotFileTypeIndex=12\n");
        QCOMPARE(store.integerForKey(QStringLiteral("screenshotFileTypeIndex")), 12);
        QVERIFY(m_log.lines.isEmpty());
    }

    // A capture's Boolean reading is faults/settings.sh's; here each typed reading, once per key. Comments
    // and blank lines are no damage.
    void valuesOfTheWrongTypeReadAsAbsentWithOneLogLineEach()
    {
        writeFile(path(), "[General]\n"
                          "; a comment\n"
                          "\n"
                          "openInPreview=banana\n"
                          "playSoundAfterScreenshot=1\n"
                          "screenshotFileTypeIndex=png\n"
                          "screenshotFileType=@ByteArray(png)\n"
                          "CaptureShortcut=\"Ctrl+Shift+3\"\n"
                          "upper=TRUE\n");
        const SettingsStore store(path(), m_log);
        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), false);
        QCOMPARE(store.integerForKey(QStringLiteral("screenshotFileTypeIndex")), 0);
        QCOMPARE(store.stringForKey(QStringLiteral("screenshotFileType")), std::nullopt);
        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), false);
        QCOMPARE(store.boolForKey(QStringLiteral("playSoundAfterScreenshot")), true);
        QCOMPARE(store.stringForKey(QStringLiteral("CaptureShortcut")), QStringLiteral("Ctrl+Shift+3"));
        QCOMPARE(store.boolForKey(QStringLiteral("upper")), true);
        QCOMPARE(m_log.lines.size(), 3);
        QVERIFY(m_log.lines.at(0).contains(QStringLiteral("openInPreview")));
        QVERIFY(m_log.lines.at(1).contains(QStringLiteral("screenshotFileTypeIndex")));
        QVERIFY(m_log.lines.at(2).contains(QStringLiteral("screenshotFileType")));
    }

    // Qt's own format error, which the next write must not report as its own failure; the kept original
    // and lines Qt skips are faults/settings.sh's.
    void aWriteAfterADamagedFileSaysNothing()
    {
        writeFile(path(), QByteArray("[General]\nopenInPreview=true\n\x00\xff\xfe junk = = "
                                     "=\n[broken\nscreenshotFileType=jpg\n",
                                     70));
        SettingsStore store(path(), m_log);
        QCOMPARE(m_log.lines.size(), 1);
        store.setBool(true, QStringLiteral("playSoundAfterScreenshot"));
        QCOMPARE(SettingsStore(path(), m_log).boolForKey(QStringLiteral("playSoundAfterScreenshot")), true);
        QCOMPARE(m_log.lines.size(), 1);
    }

    void aPairIsWrittenInOneWrite()
    {
        SettingsStore store(path(), m_log);
        QStringList fileAtEachSignal;
        connect(&store, &SettingsStore::valueChanged, this,
                [&](const QString&) { fileAtEachSignal << QString::fromUtf8(readFile(path())); });
        store.setObjects({{QStringLiteral("screenshotFileType"), QStringLiteral("bmp")},
                          {QStringLiteral("screenshotFileTypeIndex"), qint64(3)}});
        QCOMPARE(fileAtEachSignal.size(), 2);
        // Already at the first signal the file holds both: nothing runs between the two writes.
        QVERIFY(fileAtEachSignal.constFirst().contains(QStringLiteral("screenshotFileType=bmp")));
        QVERIFY(fileAtEachSignal.constFirst().contains(QStringLiteral("screenshotFileTypeIndex=3")));
        QVERIFY(m_log.lines.isEmpty());
    }

    // The first outage's one line for many failed writes is faults/settings.sh's.
    void anOutageAfterAWriteThatSucceededIsSaidAgain()
    {
        // A regular file where the settings folder should be: no write can succeed, even as root.
        const QString blocked = m_dir.filePath(QStringLiteral("blocked"));
        writeFile(blocked, "not a folder");
        SettingsStore store(blocked + QStringLiteral("/Kestrelle.conf"), m_log);
        store.setBool(true, QStringLiteral("openInPreview"));
        QVERIFY(QFile::remove(blocked));
        store.setBool(true, QStringLiteral("playSoundAfterScreenshot"));
        QCOMPARE(m_log.lines.size(), 1);
        QVERIFY(QDir(blocked).removeRecursively());
        writeFile(blocked, "not a folder");
        store.setBool(false, QStringLiteral("openInPreview"));
        QCOMPARE(m_log.lines.size(), 2);
    }

    // A disk freed or a file made writable while no setting changes: the held change is not lost.
    void aHeldChangeReachesTheFileWithoutAnotherChange_data()
    {
        QTest::addColumn<bool>("quit");
        QTest::newRow("by the retry") << false;
        QTest::newRow("at quit, before any retry") << true;
    }

    void aHeldChangeReachesTheFileWithoutAnotherChange()
    {
        QFETCH(bool, quit);
        const QString blocked = m_dir.filePath(QLatin1String(QTest::currentDataTag()));
        const QString file = blocked + QStringLiteral("/Kestrelle.conf");
        writeFile(blocked, "not a folder");
        {
            SettingsStore store(file, m_log);
            store.setBool(true, QStringLiteral("openInPreview"));
            QVERIFY(QFile::remove(blocked));
            if (!quit)
                QTRY_VERIFY(readFile(file).contains("openInPreview=true"));
        }
        QVERIFY(readFile(file).contains("openInPreview=true"));
        QCOMPARE(m_log.lines.size(), 1);
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    PlatformTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_platform.moc"
