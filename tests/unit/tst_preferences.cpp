#include "AppDelegate.h"
#include "TestPlatform.h"
#include "ui/InterfaceLoader.h"

#include <QApplication>
#include <QTest>

namespace {

// Writes join the log, so that a test sees whether a message came before its write.
void journalWrites(TestPlatform& test)
{
    QObject::connect(&test.defaults, &SettingsStore::valueChanged,
                     [&test](const QString& key) { test.log.lines << QStringLiteral("write ") + key; });
}

} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

private slots:
    void checkBoxesStoreOnlyACheckMarkAsOn_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("state"); // -1: no check box
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("message");
        const QString previewOff =
            QStringLiteral("Setting changed: Not opening screenshot in Preview after saving is complete");
        const QString soundOn = QStringLiteral("Setting changed: Playing sound after screenshot");
        const QString soundOff = QStringLiteral("Setting changed: Not playing sound after screenshot");
        QTest::newRow("preview mixed") << "openInPreview" << int(Qt::PartiallyChecked) << false << previewOff;
        QTest::newRow("preview missing") << "openInPreview" << -1 << false << previewOff;
        QTest::newRow("sound on") << "playSoundAfterScreenshot" << int(Qt::Checked) << true << soundOn;
        QTest::newRow("sound mixed") << "playSoundAfterScreenshot" << int(Qt::PartiallyChecked) << false
                                     << soundOff;
    }
    void checkBoxesStoreOnlyACheckMarkAsOn()
    {
        QFETCH(QString, action);
        QFETCH(int, state);
        QFETCH(bool, stored);
        QFETCH(QString, message);
        TestPlatform test;
        journalWrites(test);
        AppDelegate delegate(test.platform());
        QCheckBox box;
        box.setTristate(true);
        box.setCheckState(Qt::CheckState(qMax(state, 0)));
        if (state >= 0) {
            delegate.setOpenInPreviewBtn(&box);
            delegate.setPlaySoundBtn(&box);
        }
        // The sender is never looked at: a checked box sending the action changes nothing.
        QCheckBox sender;
        sender.setCheckState(Qt::Checked);
        QVERIFY(QMetaObject::invokeMethod(&delegate, qPrintable(action), Q_ARG(QObject*, &sender)));
        QVERIFY(QMetaObject::invokeMethod(&delegate, qPrintable(action), Q_ARG(QObject*, &sender)));

        QCOMPARE(test.log.lines, (QStringList{message, "write " + action, message, "write " + action}));
        QCOMPARE(test.defaults.boolForKey(action), stored);
        QVERIFY(test.defaults.objectForKey(action).has_value());
    }

    void theFileTypeIsTheLowerCasedTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("type");
        QTest::newRow("capitals") << "JPG"
                                  << "jpg";
        QTest::newRow("diaeresis") << "ÄÖÜ"
                                   << "äöü";
        QTest::newRow("dotted capital I grows") << "İMG" << QStringLiteral("i\u0307mg");
        QTest::newRow("no Turkish rule") << "ICO"
                                         << "ico";
    }
    void theFileTypeIsTheLowerCasedTitle()
    {
        QFETCH(QString, title);
        QFETCH(QString, type);
        TestPlatform test;
        journalWrites(test);
        AppDelegate delegate(test.platform());
        QComboBox picker;
        picker.addItems({"PNG", title});
        picker.setCurrentIndex(1);
        delegate.setFileTypePicker(&picker);
        delegate.fileType(nullptr);
        delegate.fileType(nullptr);

        const QString line = QStringLiteral("Setting screenshot file type to ") + type;
        QCOMPARE(test.log.lines,
                 (QStringList{line, "write screenshotFileType", "write screenshotFileTypeIndex", line,
                              "write screenshotFileType", "write screenshotFileTypeIndex"}));
        QCOMPARE(test.defaults.stringForKey("screenshotFileType"), type);
        QCOMPARE(test.defaults.integerForKey("screenshotFileTypeIndex"), 1);
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
        QVERIFY(!test.defaults.objectForKey("screenshotFileType"));
        QVERIFY(!test.defaults.objectForKey("screenshotFileTypeIndex"));
    }

    // The loader refuses a file whose outlets or actions do not fit its owner (tst_platform): loading it
    // checks every connection.
    void theInterfaceFileFitsAndOffersFiveTypes()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        InterfaceLoader loader(test.defaults, test.binder);
        QVERIFY2(loader.load(QStringLiteral(":/Interface.ui"), delegate), qPrintable(loader.errorString()));
        QCOMPARE(loader.windows().size(), 3u);

        // Every title names its file's extension; the first is the one a first run stores.
        QComboBox* picker = delegate.fileTypePicker();
        QStringList extensions;
        for (int i = 0; i < picker->count(); ++i)
            extensions << picker->itemText(i).toLower();
        QCOMPARE(extensions, (QStringList{"png", "jpg", "tiff", "bmp", "webp"}));

        // A change made by the program reaches no action; a person's click is left to e2e/preferences.sh.
        delegate.playSoundBtn()->setChecked(true);
        picker->setCurrentIndex(2);
        QVERIFY(test.log.lines.isEmpty());
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    PreferencesTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_preferences.moc"
