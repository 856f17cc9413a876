#include "TestPlatform.h"

#include <QFile>
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

    void writesReachTheFileBeforeTheCallReturns()
    {
        RecordingLog log;
        const QString file = m_dir.filePath(QStringLiteral("new/Kestrelle.conf"));
        {
            SettingsStore store(file, log);
            QCOMPARE(store.objectForKey(QStringLiteral("screenshotFileTypeIndex")), std::nullopt);
            QVERIFY2(!QFile::exists(file), "reading must not create the settings file");
            store.setBool(false, QStringLiteral("playSoundAfterScreenshot"));
            store.setInteger(3, QStringLiteral("screenshotFileTypeIndex"));
            // Not at some later flush: a kill right after the call must find it in the file.
            QVERIFY(readFile(file).contains("screenshotFileTypeIndex=3"));
        }
        const SettingsStore nextRun(file, log);
        QVERIFY(nextRun.objectForKey(QStringLiteral("playSoundAfterScreenshot")).has_value());
        QCOMPARE(nextRun.integerForKey(QStringLiteral("screenshotFileTypeIndex")), 3);
        QVERIFY(log.lines.isEmpty());
    }

    // A capture's Boolean reading is faults/settings.sh's; here each typed reading, once per key.
    void valuesOfTheWrongTypeReadAsAbsentWithOneLogLineEach()
    {
        writeFile(path(), "[General]\n"
                          "openInPreview=banana\n"
                          "playSoundAfterScreenshot=1\n"
                          "screenshotFileTypeIndex=png\n"
                          "screenshotFileType=@ByteArray(png)\n"
                          "CaptureShortcut=\"Ctrl+Shift+3\"\n"
                          "upper=TRUE\n"
                          "two=2\n"
                          "empty=\n");
        RecordingLog log;
        const SettingsStore store(path(), log);
        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), false);
        QCOMPARE(store.integerForKey(QStringLiteral("screenshotFileTypeIndex")), 0);
        QCOMPARE(store.stringForKey(QStringLiteral("screenshotFileType")), std::nullopt);
        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), false);
        // A value of the wrong type is still a value: only its typed reading is absent.
        QVERIFY(store.objectForKey(QStringLiteral("screenshotFileTypeIndex")).has_value());
        // The well-formed neighbours are unharmed, Booleans in other spellings among them.
        QCOMPARE(store.boolForKey(QStringLiteral("playSoundAfterScreenshot")), true);
        QCOMPARE(store.stringForKey(QStringLiteral("CaptureShortcut")), QStringLiteral("Ctrl+Shift+3"));
        QCOMPARE(store.boolForKey(QStringLiteral("upper")), true);
        QCOMPARE(store.boolForKey(QStringLiteral("two")), true);
        QCOMPARE(log.lines.size(), 3);
        QVERIFY(log.lines.at(0).contains(QStringLiteral("openInPreview")));
        QVERIFY(log.lines.at(1).contains(QStringLiteral("screenshotFileTypeIndex")));
        QVERIFY(log.lines.at(2).contains(QStringLiteral("screenshotFileType")));
        // Nothing after the equals sign is off.
        QCOMPARE(store.boolForKey(QStringLiteral("empty")), false);
    }

    // Lines Qt skips, and damage in the real program's hands, are taken by faults/settings.sh.
    void aDamagedFileIsKeptAndTheNextWriteSaysNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("damaged");
        // Qt's own format error, which its write reports again.
        QTest::newRow("junk bytes and a broken section")
            << QByteArray("[General]\nopenInPreview=true\n\x00\xff\xfe junk = = "
                          "=\n[broken\nscreenshotFileType=jpg\n",
                          70)
            << true;
        QTest::newRow("comments and blank lines are no damage")
            << QByteArray("[General]\n; a comment\n\nopenInPreview=true\n") << false;
    }
    void aDamagedFileIsKeptAndTheNextWriteSaysNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, damaged);
        writeFile(path(), content);
        QFile::remove(path() + QStringLiteral(".damaged"));
        RecordingLog log;
        SettingsStore store(path(), log);
        QCOMPARE(log.lines.size(), int(damaged));
        QCOMPARE(QFile::exists(path() + QStringLiteral(".damaged")), damaged);
        QCOMPARE(store.boolForKey(QStringLiteral("openInPreview")), true);
        store.setBool(true, QStringLiteral("playSoundAfterScreenshot"));
        QCOMPARE(SettingsStore(path(), log).boolForKey(QStringLiteral("playSoundAfterScreenshot")), true);
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

    // One line per outage; the held changes and the later failures are taken by faults/settings.sh.
    void eachOutageIsSaidOnce()
    {
        // A regular file where the settings folder should be: no write can succeed, even as root.
        const QString blocked = m_dir.filePath(QStringLiteral("blocked"));
        writeFile(blocked, "not a folder");
        RecordingLog log;
        SettingsStore store(blocked + QStringLiteral("/Kestrelle.conf"), log);
        store.setBool(true, QStringLiteral("openInPreview"));
        QCOMPARE(log.lines.size(), 1);
        QVERIFY(log.lines.constFirst().contains(QStringLiteral("could not write openInPreview")));

        QVERIFY(QFile::remove(blocked));
        store.setBool(true, QStringLiteral("playSoundAfterScreenshot"));
        QCOMPARE(log.lines.size(), 1);
        QVERIFY(QDir(blocked).removeRecursively());
        writeFile(blocked, "not a folder");
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
