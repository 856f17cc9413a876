#pragma once

#include "PlatformServices.h"
#include "application/ApplicationService.h"
#include "application/CommandLine.h"
#include "application/QuitOnSignals.h"
#include "application/SessionInstance.h"
#include "portal/PortalRegistry.h"
#include "text/Translations.h"
#include "ui/InterfaceLoader.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

namespace platform {

// The command line as given, before Qt takes its own options out of it.
QStringList commandLineArguments(int argc, char** argv);
// Prints the help or version text, or logs why the command line is refused; the exit status.
int answerCommandLine(const CommandLine& commandLine, const QString& processName);

// Runs the application until it quits: reads the command line, makes sure it is the session's one
// instance (or hands its request to the one that runs), then makes the platform services, the one
// application delegate with the interface file's windows and outlets, runs the launch sequence and the
// main loop.
template <typename Delegate> int applicationMain(int argc, char** argv)
{
    // Qt's own messages, such as the one it prints when the X server goes away before it exits, in the
    // log's line format: time, process name and id, text.
    const QString processName = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    qSetMessagePattern(
        QStringLiteral("%{time yyyy-MM-dd HH:mm:ss.zzz} %1[%{pid}] %{message}").arg(processName));
    // Read before Qt needs a display, so that --help and a mistyped option work anywhere.
    const auto readCommandLine = [argc, argv] {
        return CommandLine::parse(
            commandLineArguments(argc, argv), Delegate::namedActions(),
            QtApplication().infoDictionary().value(QStringLiteral("CFBundleShortVersionString")).toString());
    };
    const CommandLine commandLine = readCommandLine();
    if (commandLine.request == CommandLine::Request::Help) {
        // In the user's language: translations need an application object, here one without a display.
        int arguments = argc;
        const QCoreApplication withoutDisplay(arguments, argv);
        const Translations translations;
        return answerCommandLine(readCommandLine(), processName);
    }
    if (commandLine.request != CommandLine::Request::Run)
        return answerCommandLine(commandLine, processName);

    QApplication application(argc, argv);
    // Before anything is made that shows a text.
    const Translations translations;
    // A tray program keeps running with no window open.
    QApplication::setQuitOnLastWindowClosed(false);

    StderrLog startLog(processName);
    SessionInstance instance(startLog, Delegate::namedActions());
    switch (instance.claim(commandLine.action)) {
    case SessionInstance::Outcome::First:
        break;
    case SessionInstance::Outcome::Done:
        return 0;
    case SessionInstance::Outcome::Failed:
        return 1;
    }

    const QString appId =
        QtApplication().infoDictionary().value(QStringLiteral("CFBundleIdentifier")).toString();
    // Before the services, whose first requests to the desktop portal would leave the program unknown to it.
    registerWithDesktopPortal(appId, startLog);
    PlatformServices services;
    const Platform platform = services.platform();
    // Lets the desktop match the program's windows to its menu entry and icon.
    QGuiApplication::setDesktopFileName(appId);
    Delegate delegate(platform);
    InterfaceLoader interface(platform.standardUserDefaults, platform.sharedBinder);
    // A file that does not fit the delegate would leave controls that do nothing: the program stops.
    if (!interface.load(QStringLiteral(":/Interface.ui"), delegate)) {
        services.log().log(QStringLiteral("Could not load the interface file: ") + interface.errorString());
        return 1;
    }

    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate,
                     &Delegate::applicationWillTerminate);
    const QuitOnSignals quitOnSignals;
    QObject::connect(&quitOnSignals, &QuitOnSignals::quitRequested, &delegate, &Delegate::quit);
    if (ApplicationService* service = instance.service()) {
        service->setHandlers([&delegate] { delegate.applicationShouldHandleReopen(); },
                             [&delegate](const QString& name) { delegate.performAction(name); });
    }

    delegate.applicationDidFinishLaunching();
    // The start's own request, as a later start would hand it over; a start without one is told apart.
    QTimer::singleShot(0, &delegate, [&delegate, action = commandLine.action] {
        if (action)
            delegate.performAction(*action);
        else
            delegate.applicationDidStartWithoutRequest();
    });
    return QApplication::exec();
}

} // namespace platform
