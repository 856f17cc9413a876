#include "AppDelegate.h"
#include "TestPlatform.h"

#include <QApplication>
#include <QFile>
#include <QMetaProperty>
#include <QTest>

class AppDelegateTest : public QObject {
    Q_OBJECT

private slots:
    void creationTakesASnapshotAndWritesNothing()
    {
        TestPlatform test;
        test.application.version = {10, 11, 6};
        const AppDelegate delegate(test.platform());
        QCOMPARE(delegate.m_appVersion, QVariant(QStringLiteral("1.2.3")));
        QCOMPARE(delegate.m_interfaceStyleSetting, std::nullopt);
        QCOMPARE(delegate.m_systemVersion, (OperatingSystemVersion{10, 11, 6}));
        QCOMPARE(delegate.kPreferenceDesktopCaptureShortcut, QStringLiteral("CaptureShortcut"));
        QCOMPARE(delegate.kPreferenceDesktopCaptureClipboardShortcut,
                 QStringLiteral("CaptureClipboardShortcut"));
        QCOMPARE(&delegate.m_defaults, &test.defaults);
        QVERIFY(!QFile::exists(test.settingsPath));
        QVERIFY(test.journal.steps.isEmpty());
        QVERIFY(test.log.lines.isEmpty());
    }

    void theVersionIsWhateverTheInformationDictionaryHolds()
    {
        TestPlatform test;
        test.application.info = {};
        QCOMPARE(AppDelegate(test.platform()).m_appVersion, QVariant());
        test.application.info = {{QStringLiteral("CFBundleShortVersionString"), 42}};
        QCOMPARE(AppDelegate(test.platform()).m_appVersion, QVariant(42));
    }

    void theInterfaceStyleIsTheUsersStringElseTheDesktops()
    {
        TestPlatform light([](const QString&) { return std::optional<QString>(); });
        QCOMPARE(AppDelegate(light.platform()).m_interfaceStyleSetting, std::nullopt);

        TestPlatform dark([](const QString&) { return std::optional<QString>(QStringLiteral("Dark")); });
        QCOMPARE(AppDelegate(dark.platform()).m_interfaceStyleSetting, QStringLiteral("Dark"));

        // Any string the user's store holds counts, whatever it says.
        light.defaults.setObject(QStringLiteral("Light"), QStringLiteral("AppleInterfaceStyle"));
        QCOMPARE(AppDelegate(light.platform()).m_interfaceStyleSetting, QStringLiteral("Light"));
    }

    void outletsAreWeakPropertiesThatStartEmpty()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        const char* const outlets[] = {"window",
                                       "prefsWindow",
                                       "shortcutsWindow",
                                       "nameText",
                                       "versionText",
                                       "captureDesktopSCV",
                                       "captureDesktopClipboardSCV",
                                       "shortcutVisualView",
                                       "prefsVisualView",
                                       "aboutVisualView",
                                       "openInPreviewBtn",
                                       "playSoundBtn",
                                       "fileTypePicker"};
        QCOMPARE(delegate.metaObject()->propertyCount() - QObject::staticMetaObject.propertyCount(),
                 int(std::size(outlets)));
        for (const char* name : outlets) {
            const QMetaProperty property =
                delegate.metaObject()->property(delegate.metaObject()->indexOfProperty(name));
            QVERIFY2(property.isWritable(), name);
            QVERIFY2(property.read(&delegate).value<QObject*>() == nullptr, name);
        }

        // Set by name, as the interface loader does, and gone when the object goes.
        auto label = std::make_unique<QLabel>();
        QVERIFY(delegate.setProperty("versionText", QVariant::fromValue(label.get())));
        QCOMPARE(delegate.versionText(), label.get());
        label.reset();
        QCOMPARE(delegate.versionText(), nullptr);
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    AppDelegateTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_appdelegate.moc"
