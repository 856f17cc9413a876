#include "AppDelegate.h"
#include "TestPlatform.h"
#include "application/CommandLine.h"
#include "ui/InterfaceLoader.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

QPushButton* buttonTitled(QWidget& window, const QString& title)
{
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

QStringList visibleCommands(QWidget& window)
{
    QStringList commands;
    for (const QLineEdit* field : window.findChildren<QLineEdit*>()) {
        if (field->isVisibleTo(&window))
            commands << field->text();
    }
    return commands;
}

} // namespace

// How a person reaches the program without its tray: the window of commands and the command line (both
// taken for real on GNOME by desktops/reach.sh), and the shortcuts window where no global shortcut fires.
class CommandsTest : public QObject {
    Q_OBJECT

private slots:
    void theWindowsButtonsRunTheMenuEntriesAndOnlyANameIsAnAction()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        delegate.applicationDidFinishLaunching();
        // The offscreen platform has no tray: a start shows the window of commands.
        delegate.applicationShouldHandleReopen();
        QWidget& window = *delegate.m_commandsWindow;
        test.journal.steps.clear();
        for (const char* title : {"Capture Desktop to Clipboard", "Capture Desktop", "Quit Kestrelle"})
            QTest::mouseClick(buttonTitled(window, title), Qt::LeftButton);
        QCOMPARE(test.journal.steps, (QStringList{"launch", "activate", "chooser", "terminate"}));
        QCOMPARE(test.launcher.launches.at(0).arguments, (QStringList{"-c", "-x"}));

        QVERIFY(!delegate.performAction("Capture Desktop"));
        QVERIFY(!delegate.performAction(""));
        QCOMPARE(test.journal.steps.size(), 4);
    }

    void withoutGlobalShortcutsTheShortcutsWindowNamesTheCommandsToBind()
    {
        for (const bool fires : {true, false}) {
            TestPlatform test;
            test.binder.fires = fires;
            AppDelegate delegate(test.platform());
            InterfaceLoader loader(test.defaults, test.binder);
            QVERIFY2(loader.load(QStringLiteral(":/Interface.ui"), delegate),
                     qPrintable(loader.errorString()));
            delegate.applicationDidFinishLaunching();
            QWidget& window = *delegate.shortcutsWindow();

            QCOMPARE(delegate.captureDesktopSCV()->isVisibleTo(&window), fires);
            QCOMPARE(delegate.captureDesktopClipboardSCV()->isVisibleTo(&window), fires);
            const QStringList commands{"kestrelle --capture-desktop", "kestrelle --capture-to-clipboard"};
            QCOMPARE(visibleCommands(window), fires ? QStringList() : commands);
            const QList<QLabel*> labels = window.findChildren<QLabel*>();
            QCOMPARE(std::any_of(labels.cbegin(), labels.cend(),
                                 [](const QLabel* label) {
                                     return label->text().startsWith("Global shortcuts are not available");
                                 }),
                     !fires);
        }
    }

    void theCommandLineNamesOneActionOrRefusesInOneLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Request>("request");
        QTest::addColumn<QString>("result"); // the action to run, or the text to print
        using enum CommandLine::Request;
        QTest::newRow("none") << QStringList{} << Run << QString();
        // Qt takes its own options when the application is made.
        QTest::newRow("Qt's options")
            << QStringList{"-platform", "xcb", "--quit", "-display", ":3"} << Run << "quit";
        QTest::newRow("a restored session") << QStringList{"-session", "10d2f3e4"} << Run << QString();
        QTest::newRow("version") << QStringList{"--version"} << Version << "kestrelle 1.2.3\n";
        const std::pair<QStringList, QString> refused[] = {
            {{"--capture"}, "Unknown option 'capture'"},
            {{"-x"}, "Unknown option 'x'"},
            {{"--about=yes"}, "Unexpected value after '--about'"},
            {{"shots"}, "Unexpected argument 'shots'"},
            {{"--about", "--quit"}, "One option at a time: --about or --quit"},
            {{"-platform"}, "Missing value after '-platform'"},
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

    void theHelpListsEachActionWithItsTitle()
    {
        const QString help =
            CommandLine::parse({"kestrelle", "--help"}, AppDelegate::namedActions(), {}).text;
        QVERIFY2(
            help.contains(QRegularExpression("\n  --capture-to-clipboard +Capture Desktop to Clipboard\n")),
            qPrintable(help));
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    CommandsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_commands.moc"
