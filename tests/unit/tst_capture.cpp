#include "AppDelegate.h"
#include "TestPlatform.h"

#include <QApplication>
#include <QTest>
#include <QTimeZone>

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

const QString kTool = QStringLiteral("/usr/sbin/screencapture");

QDateTime newYork(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone("America/New_York"));
}

} // namespace

class CaptureTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUserLocale("en_US.UTF-8", "America/New_York"); }

    void fileCaptureArgumentsAndName_data()
    {
        QTest::addColumn<QDateTime>("choice");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QVariant>("fileType"); // invalid: nothing stored
        QTest::addColumn<int>("openInPreview"); // -1: never set
        QTest::addColumn<int>("playSound");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("saysPng"); // a type that cannot be used is said, and png taken
        const QDateTime example = newYork(2031, 3, 7, 14, 5, 9);
        const QString name = QStringLiteral("Kestrelle on 03-07-2031 at 02.05.09 PM.png");
        const QVariant png = QStringLiteral("png");
        QTest::newRow("preview, silent")
            << example << "/tmp" << png << 1 << 0 << QStringList{"-P", "-x", "/tmp/" + name} << false;
        QTest::newRow("never set") << example << "/tmp" << png << -1 << -1
                                   << QStringList{"-x", "/tmp/" + name} << false;
        QTest::newRow("midnight") << newYork(2031, 3, 8, 0, 0, 0) << "/tmp" << png << 0 << 1
                                  << QStringList{"/tmp/Kestrelle on 03-08-2031 at 12.00.00 AM.png"} << false;
        QTest::newRow("local time, not UTC")
            << QDateTime(QDate(2031, 3, 8), QTime(2, 0, 0), QTimeZone::utc()) << "/tmp" << png << 0 << 1
            << QStringList{"/tmp/Kestrelle on 03-07-2031 at 09.00.00 PM.png"} << false;
        QTest::newRow("root folder") << example << "/" << png << 0 << 1 << QStringList{"//" + name} << false;
        QTest::newRow("type used verbatim")
            << example << "/tmp" << QVariant(QStringLiteral("PNG")) << 0 << 1
            << QStringList{"/tmp/Kestrelle on 03-07-2031 at 02.05.09 PM.PNG"} << false;
        QTest::newRow("no type stored")
            << example << "/tmp" << QVariant() << 0 << 1 << QStringList{"/tmp/" + name} << true;
        QTest::newRow("type not a string") << example << "/tmp" << QVariant(QStringList{"png", "jpg"}) << 0
                                           << 1 << QStringList{"/tmp/" + name} << true;
        QTest::newRow("type with a path")
            << example << "/tmp" << QVariant(QStringLiteral("png/../../etc/evil")) << 0 << 1
            << QStringList{"/tmp/" + name} << true;
        QTest::newRow("type with a NUL")
            << example << "/tmp" << QVariant(QStringLiteral("png") + QChar(0) + QStringLiteral("sh")) << 0
            << 1 << QStringList{"/tmp/" + name} << true;
    }
    void fileCaptureArgumentsAndName()
    {
        QFETCH(QDateTime, choice);
        QFETCH(QString, directory);
        QFETCH(QVariant, fileType);
        QFETCH(int, openInPreview);
        QFETCH(int, playSound);
        QFETCH(QStringList, arguments);
        QFETCH(bool, saysPng);
        TestPlatform test;
        if (fileType.isValid())
            test.defaults.setObject(fileType, QStringLiteral("screenshotFileType"));
        if (openInPreview >= 0)
            test.defaults.setBool(openInPreview, QStringLiteral("openInPreview"));
        if (playSound >= 0)
            test.defaults.setBool(playSound, QStringLiteral("playSoundAfterScreenshot"));
        test.clock.instant = choice;
        AppDelegate delegate(test.platform());

        delegate.captureDesktop();
        QVERIFY(test.launcher.launches.empty());
        // Confirmed two minutes later: the name keeps the moment of the menu choice.
        test.clock.instant = choice.addSecs(120);
        test.chooser.answer(0, DirectoryChooser::kResponseOK, directory);

        QCOMPARE(test.launcher.launches.size(), 1u);
        QCOMPARE(test.launcher.launches[0].launchPath, kTool);
        QCOMPARE(test.launcher.launches[0].arguments, arguments);
        QCOMPARE(test.log.lines.isEmpty(), !saysPng);
        if (saysPng)
            QVERIFY(test.log.lines.last().contains(QStringLiteral("png")));
    }

    // The date and time follow the formats locale (LC_ALL, else LC_TIME, else LANG), not the messages'.
    void theNameFollowsTheUsersFormats_data()
    {
        QTest::addColumn<QByteArray>("lcAll");
        QTest::addColumn<QByteArray>("lcTime");
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<QString>("time");
        QTest::newRow("Japanese") << QByteArray("ja_JP.UTF-8") << QByteArray() << QByteArray()
                                  << "02.05.09 午後";
        QTest::newRow("British formats, American messages")
            << QByteArray() << QByteArray("en_GB.UTF-8") << QByteArray("en_US.UTF-8") << "02.05.09 pm";
        QTest::newRow("American formats, British messages")
            << QByteArray() << QByteArray("en_US.UTF-8") << QByteArray("en_GB.UTF-8") << "02.05.09 PM";
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
        test.clock.instant = QDateTime(QDate(2031, 3, 7), QTime(14, 5, 9), QTimeZone("Asia/Tokyo"));
        AppDelegate delegate(test.platform());
        delegate.captureDesktop();
        test.chooser.answer(0, DirectoryChooser::kResponseOK, QStringLiteral("/tmp"));
        setUserLocale("en_US.UTF-8", "America/New_York");
        QCOMPARE(test.launcher.launches.at(0).arguments.last(),
                 QStringLiteral("/tmp/Kestrelle on 03-07-2031 at %1.png").arg(time));
    }

    void settingsAreReadAtEachCaptureAndAtTheMenuChoice()
    {
        TestPlatform test;
        test.defaults.setObject(QStringLiteral("png"), QStringLiteral("screenshotFileType"));
        test.clock.instant = newYork(2031, 3, 7, 14, 5, 9);
        AppDelegate delegate(test.platform());
        delegate.captureDesktop();

        test.defaults.setObject(QStringLiteral("jpg"), QStringLiteral("screenshotFileType"));
        test.defaults.setBool(true, QStringLiteral("openInPreview"));
        test.defaults.setBool(true, QStringLiteral("playSoundAfterScreenshot"));
        test.chooser.answer(0, DirectoryChooser::kResponseOK, QStringLiteral("/tmp"));
        delegate.captureDesktop();
        test.chooser.answer(0, DirectoryChooser::kResponseOK, QStringLiteral("/tmp"));

        QCOMPARE(test.launcher.launches.size(), 2u);
        QCOMPARE(test.launcher.launches[0].arguments,
                 (QStringList{"-x", "/tmp/Kestrelle on 03-07-2031 at 02.05.09 PM.png"}));
        QCOMPARE(test.launcher.launches[1].arguments,
                 (QStringList{"-P", "/tmp/Kestrelle on 03-07-2031 at 02.05.09 PM.jpg"}));
    }

    void onlyAConfirmationStartsTheTool()
    {
        TestPlatform test;
        test.defaults.setObject(QStringLiteral("png"), QStringLiteral("screenshotFileType"));
        AppDelegate delegate(test.platform());
        delegate.captureDesktop();
        delegate.captureDesktop();
        delegate.captureDesktop();
        // Every menu choice brings the application forward once, right before its own chooser.
        QCOMPARE(test.journal.steps,
                 (QStringList{"activate", "chooser", "activate", "chooser", "activate", "chooser"}));

        // Cancelled, another answer, confirmed without a folder (said once): nothing starts.
        test.chooser.answer(2, DirectoryChooser::kResponseOK, QString());
        QCOMPARE(test.log.lines.size(), 1);
        test.chooser.answer(1, DirectoryChooser::kResponseCancel);
        test.chooser.answer(0, 7, QStringLiteral("/tmp"));
        QVERIFY(test.launcher.launches.empty());

        delegate.captureDesktop();
        test.chooser.answer(0, DirectoryChooser::kResponseOK, QStringLiteral("/tmp"));
        QCOMPARE(test.launcher.launches.size(), 1u);
        QCOMPARE(test.log.lines.size(), 1);
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    CaptureTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_capture.moc"
