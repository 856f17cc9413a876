#include "AppDelegate.h"
#include "TestPlatform.h"
#include "application/CommandLine.h"
#include "ui/InterfaceLoader.h"
#include "ui/Windows.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

QStringList titlesOf(const QList<QPushButton*>& buttons)
{
    QStringList titles;
    for (const QPushButton* button : buttons)
        titles << button->text();
    return titles;
}

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

CommandLine parsed(const QStringList& arguments)
{
    return CommandLine::parse(QStringList{"/usr/bin/kestrelle"} + arguments, AppDelegate::namedActions(),
                              QStringLiteral("1.2.3"));
}

} // namespace

// How a person reaches the program without its tray: the window of commands, the named actions of the
// command line and the desktop, and the shortcuts window on a desktop without global shortcuts.
class CommandsTest : public QObject {
    Q_OBJECT

private slots:
    void theMenuTheWindowAndTheNamedActionsListTheSameCommands()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        delegate.applicationDidFinishLaunching();
        delegate.applicationShouldHandleReopen();

        QStringList menu;
        for (const QAction* item : delegate.m_menu->actions()) {
            if (!item->isSeparator())
                menu << item->text();
        }
        QWidget* window = delegate.m_commandsWindow.get();
        QVERIFY(window);
        QCOMPARE(titlesOf(window->findChildren<QPushButton*>()), menu);
        QStringList titles, names;
        for (const NamedAction& action : AppDelegate::namedActions())
            titles << action.title, names << action.name;
        QCOMPARE(titles, menu);
        QCOMPARE(names, (QStringList{"capture-desktop", "capture-to-clipboard", "shortcuts", "preferences",
                                     "about", "quit"}));
    }

    void withNoTrayEachStartBringsTheOneWindowOfCommandsBack()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        delegate.applicationDidFinishLaunching();
        // The offscreen platform has no tray.
        delegate.applicationShouldHandleReopen();
        QPointer<QWidget> window = delegate.m_commandsWindow.get();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Kestrelle"));
        QVERIFY(keptOutOfCaptures(*window));

        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        delegate.applicationShouldHandleReopen();
        QCOMPARE(delegate.m_commandsWindow.get(), window.data());
        QVERIFY(window->isVisible());
        QCOMPARE(test.journal.steps.count(QStringLiteral("activate")), 2);
    }

    void buttonsAndNamedActionsRunTheMenuEntriesSlots()
    {
        TestPlatform test;
        AppDelegate delegate(test.platform());
        delegate.applicationDidFinishLaunching();
        delegate.applicationShouldHandleReopen();
        QWidget& window = *delegate.m_commandsWindow;
        test.journal.steps.clear();

        QTest::mouseClick(buttonTitled(window, "Capture Desktop to Clipboard"), Qt::LeftButton);
        QVERIFY(delegate.performAction("capture-to-clipboard"));
        QCOMPARE(test.launcher.launches.size(), 2u);
        for (const Launch& launch : test.launcher.launches)
            QCOMPARE(launch.arguments, (QStringList{"-c", "-x"}));

        QTest::mouseClick(buttonTitled(window, "Capture Desktop"), Qt::LeftButton);
        QVERIFY(delegate.performAction("capture-desktop"));
        QCOMPARE(test.chooser.open.size(), 2u);

        QVERIFY(delegate.performAction("quit"));
        QTest::mouseClick(buttonTitled(window, "Quit Kestrelle"), Qt::LeftButton);
        QCOMPARE(test.journal.steps, (QStringList{"launch", "launch", "activate", "chooser", "activate",
                                                  "chooser", "terminate", "terminate"}));

        // A name that is none does nothing at all.
        QVERIFY(!delegate.performAction("Capture Desktop"));
        QVERIFY(!delegate.performAction(""));
        QCOMPARE(test.journal.steps.size(), 8);
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
            const bool saysSo = std::any_of(labels.cbegin(), labels.cend(), [](const QLabel* label) {
                return label->text().startsWith("Global shortcuts are not available");
            });
            QCOMPARE(saysSo, !fires);
        }
    }

    void theCommandLineNamesOneActionOrAsksForHelpOrVersion()
    {
        QCOMPARE(parsed({}).request, CommandLine::Request::Run);
        QVERIFY(!parsed({}).action);
        for (const NamedAction& action : AppDelegate::namedActions()) {
            const CommandLine line = parsed({"--" + action.name});
            QCOMPARE(line.request, CommandLine::Request::Run);
            QCOMPARE(line.action, action.name);
            QVERIFY2(parsed({"--help"})
                         .text.contains(QRegularExpression("\n  --" + action.name + " +" +
                                                           QRegularExpression::escape(action.title))),
                     qPrintable(action.name));
        }
        // Qt takes its own options when the application is made.
        QCOMPARE(parsed({"-platform", "xcb", "--quit", "-display", ":3"}).action, QStringLiteral("quit"));
        QCOMPARE(parsed({"--help"}).request, CommandLine::Request::Help);
        QCOMPARE(parsed({"--version"}).text, QStringLiteral("kestrelle 1.2.3\n"));
    }

    void theCommandLineRefusesWhatItCannotReadInOneLine()
    {
        const std::pair<QStringList, QString> refused[] = {
            {{"--capture"}, "Unknown option 'capture'"},
            {{"-x"}, "Unknown option 'x'"},
            {{"--about=yes"}, "Unexpected value after '--about'"},
            {{"shots"}, "Unexpected argument 'shots'"},
            {{"--about", "--quit"}, "One option at a time: --about or --quit"},
            {{"-platform"}, "Missing value after '-platform'"},
        };
        for (const auto& [arguments, reason] : refused) {
            const CommandLine line = parsed(arguments);
            QCOMPARE(line.request, CommandLine::Request::Refuse);
            QCOMPARE(line.text, reason + "; --help lists the options");
            QVERIFY(!line.action);
        }
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    CommandsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_commands.moc"
