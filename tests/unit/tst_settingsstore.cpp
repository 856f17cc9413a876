#include "TestPlatform.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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

} // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("Kestrelle.conf")); }

private slots:
    void init() { QFile::remove(path()); }

    void absentKeysReadAsNothing()
    {
        RecordingLog log;
        const SettingsStore store(path(), log);
        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), false);
        QCOMPARE(store.integerForKey(QStringLiteral("screenshotFileTypeIndex")), 0);
        QCOMPARE(store.stringForKey(QStringLiteral("screenshotFileType")), std::nullopt);
        QCOMPARE(store.objectForKey(QStringLiteral("screenshotFileTypeIndex")), std::nullopt);
        QVERIFY(log.lines.isEmpty());
        QVERIFY2(!QFile::exists(path()), "reading must not create the settings file");
    }

    void writesReachTheFileAndTheNextRun()
    {
        RecordingLog log;
        {
            SettingsStore store(m_dir.filePath(QStringLiteral("new/Kestrelle.conf")), log);
            QSignalSpy changed(&store, &SettingsStore::valueChanged);
            store.setBool(true, QStringLiteral("openInPreview"));
            store.setBool(false, QStringLiteral("playSoundAfterScreenshot"));
            store.setInteger(3, QStringLiteral("screenshotFileTypeIndex"));
            store.setObject(QStringLiteral("tiff"), QStringLiteral("screenshotFileType"));
            QCOMPARE(changed.count(), 4);
            // On disk before the call returned, not at some later flush.
            const QByteArray text = readFile(m_dir.filePath(QStringLiteral("new/Kestrelle.conf")));
            QVERIFY(text.contains("openInPreview=true"));
            QVERIFY(text.contains("screenshotFileTypeIndex=3"));
            QVERIFY(text.contains("screenshotFileType=tiff"));
        }
        const SettingsStore nextRun(m_dir.filePath(QStringLiteral("new/Kestrelle.conf")), log);
        QCOMPARE(nextRun.boolForKey(QStringLiteral("openInPreview")), true);
        QCOMPARE(nextRun.boolForKey(QStringLiteral("playSoundAfterScreenshot")), false);
        QVERIFY(nextRun.objectForKey(QStringLiteral("playSoundAfterScreenshot")).has_value());
        QCOMPARE(nextRun.integerForKey(QStringLiteral("screenshotFileTypeIndex")), 3);
        QCOMPARE(nextRun.stringForKey(QStringLiteral("screenshotFileType")), QStringLiteral("tiff"));
        QVERIFY(log.lines.isEmpty());
    }

    void valuesOfTheWrongTypeReadAsAbsentWithOneLogLineEach()
    {
        writeFile(path(), "[General]\n"
                          "openInPreview=banana\n"
                          "playSoundAfterScreenshot=1\n"
                          "screenshotFileTypeIndex=png\n"
                          "screenshotFileType=@ByteArray(png)\n"
                          "CaptureShortcut=\"Ctrl+Shift+3\"\n");
        RecordingLog log;
        const SettingsStore store(path(), log);
        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), false);
        QCOMPARE(store.integerForKey(QStringLiteral("screenshotFileTypeIndex")), 0);
        QCOMPARE(store.stringForKey(QStringLiteral("screenshotFileType")), std::nullopt);
        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), false);
        QCOMPARE(log.lines.size(), 3);
        QVERIFY(log.lines.at(0).contains(QStringLiteral("openInPreview")));
        QVERIFY(log.lines.at(1).contains(QStringLiteral("screenshotFileTypeIndex")));
        QVERIFY(log.lines.at(2).contains(QStringLiteral("screenshotFileType")));
        // A value of the wrong type is still a value: only its typed reading is absent.
        QVERIFY(store.objectForKey(QStringLiteral("screenshotFileTypeIndex")).has_value());
        // The well-formed neighbours are unharmed.
        QCOMPARE(store.boolForKey(QStringLiteral("playSoundAfterScreenshot")), true);
        QCOMPARE(store.stringForKey(QStringLiteral("CaptureShortcut")), QStringLiteral("Ctrl+Shift+3"));
    }

    void booleanSpellings_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("expected");
        QTest::newRow("TRUE") << QByteArray("TRUE") << true;
        QTest::newRow("0") << QByteArray("0") << false;
        QTest::newRow("yes") << QByteArray("yes") << true;
        QTest::newRow("2") << QByteArray("2") << true;
        QTest::newRow("empty") << QByteArray("") << false;
    }
    void booleanSpellings()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, expected);
        writeFile(path(), "[General]\nopenInPreview=" + stored + "\n");
        RecordingLog log;
        QCOMPARE(SettingsStore(path(), log).boolForKey(QStringLiteral("openInPreview")), expected);
    }

    void aDamagedFileIsKeptAndWhatCanBeReadSurvives_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("junk bytes and a broken section")
            << QByteArray("[General]\nopenInPreview=true\n\x00\xff\xfe junk = = "
                          "=\n[broken\nscreenshotFileType=jpg\n",
                          70)
            << true;
        // Qt reads neither a key cut short nor a hand-edited line without its "=", and its next write
        // would drop both without a word.
        QTest::newRow("a key cut short, a line without =")
            << QByteArray(
                   "[General]\nopenInPreview=true\n; a comment\nplaySoundAfterScreenshot true\nscreenshotFil")
            << true;
        QTest::newRow("comments and blank lines are no damage")
            << QByteArray("[General]\n; a comment\n\nopenInPreview=true\n") << false;
    }
    void aDamagedFileIsKeptAndWhatCanBeReadSurvives()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, damaged);
        writeFile(path(), content);
        QFile::remove(path() + QStringLiteral(".damaged"));
        RecordingLog log;
        SettingsStore store(path(), log);
        QCOMPARE(log.lines.size(), int(damaged));
        if (damaged) {
            QVERIFY(log.lines.constFirst().contains(QStringLiteral("damaged")));
            QCOMPARE(readFile(path() + QStringLiteral(".damaged")), content);
        }

        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), true);
        store.setBool(true, QStringLiteral("playSoundAfterScreenshot"));
        const SettingsStore nextRun(path(), log);
        QCOMPARE(nextRun.boolForKey(QStringLiteral("openInPreview")), true);
        QCOMPARE(nextRun.boolForKey(QStringLiteral("playSoundAfterScreenshot")), true);
        // The write succeeded, so nothing more is said.
        QCOMPARE(log.lines.size(), int(damaged));
    }

    void aPairIsWrittenInOneWrite()
    {
        RecordingLog log;
        SettingsStore store(path(), log);
        QStringList fileAtEachSignal;
        connect(&store, &SettingsStore::valueChanged, this,
                [&](const QString&) { fileAtEachSignal << QString::fromUtf8(readFile(path())); });
        store.setObjects({{QStringLiteral("screenshotFileType"), QStringLiteral("bmp")},
                          {QStringLiteral("screenshotFileTypeIndex"), qint64(3)}});
        QCOMPARE(fileAtEachSignal.size(), 2);
        // Already at the first signal the file holds both: nothing runs between the two writes.
        QVERIFY(fileAtEachSignal.constFirst().contains(QStringLiteral("screenshotFileType=bmp")));
        QVERIFY(fileAtEachSignal.constFirst().contains(QStringLiteral("screenshotFileTypeIndex=3")));
        QVERIFY(log.lines.isEmpty());
    }

    void anUnwritableFileLogsAndTheChangeHoldsForThisRun()
    {
        // A regular file where the settings folder should be: no write can succeed, even as root.
        writeFile(m_dir.filePath(QStringLiteral("blocked")), "not a folder");
        RecordingLog log;
        SettingsStore store(m_dir.filePath(QStringLiteral("blocked/Kestrelle.conf")), log);
        store.setBool(true, QStringLiteral("openInPreview"));
        QCOMPARE(log.lines.size(), 1);
        QVERIFY(log.lines.constFirst().contains(QStringLiteral("could not write openInPreview")));
        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), true);
        store.setInteger(3, QStringLiteral("screenshotFileTypeIndex"));
        QCOMPARE(log.lines.size(), 1);

        // Once the folder can be made, the next write brings the earlier changes along.
        QVERIFY(QFile::remove(m_dir.filePath(QStringLiteral("blocked"))));
        store.setBool(true, QStringLiteral("playSoundAfterScreenshot"));
        QCOMPARE(log.lines.size(), 1);
        const SettingsStore nextRun(m_dir.filePath(QStringLiteral("blocked/Kestrelle.conf")), log);
        QCOMPARE(nextRun.boolForKey(QStringLiteral("openInPreview")), true);
        QCOMPARE(nextRun.integerForKey(QStringLiteral("screenshotFileTypeIndex")), 3);
        QCOMPARE(nextRun.boolForKey(QStringLiteral("playSoundAfterScreenshot")), true);

        // A new outage is said again.
        QVERIFY(QDir(m_dir.filePath(QStringLiteral("blocked"))).removeRecursively());
        writeFile(m_dir.filePath(QStringLiteral("blocked")), "not a folder");
        store.setBool(false, QStringLiteral("openInPreview"));
        QCOMPARE(log.lines.size(), 2);
    }

    void theDesktopAnswersForStringsTheUserFileLacksAndAnotherProgramsChangeIsReadAtOnce()
    {
        QStringList asked;
        const auto desktop = [&asked](const QString& key) -> std::optional<QString> {
            asked << key;
            return QStringLiteral("Dark");
        };
        writeFile(path(), "[General]\nopenInPreview=false\n");
        RecordingLog log;
        const SettingsStore store(path(), log, desktop);
        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), false);
        QCOMPARE(store.stringForKey(QStringLiteral("AppleInterfaceStyle")), QStringLiteral("Dark"));
        QCOMPARE(asked, QStringList{QStringLiteral("AppleInterfaceStyle")});

        writeFile(path(), "[General]\nAppleInterfaceStyle=Light\nopenInPreview=true\n");
        QCOMPARE(store.stringForKey(QStringLiteral("AppleInterfaceStyle")), QStringLiteral("Light"));
        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), true);
        QCOMPARE(asked.size(), 1);
    }
};

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "tst_settingsstore.moc"
