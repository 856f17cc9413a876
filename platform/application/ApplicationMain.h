#pragma once

#include "PlatformServices.h"
#include "application/QuitOnSignals.h"
#include "application/SingleInstance.h"
#include "ui/InterfaceLoader.h"

#include <QApplication>
#include <QFileInfo>

namespace platform {

// Runs the application until it quits: the platform services, the one application delegate with the
// interface file's windows and outlets, the launch sequence, then the main loop.
template <typename Delegate> int applicationMain(int argc, char** argv)
{
    // Qt's own messages, such as the one it prints when the X server goes away before it exits, in the
    // log's line format: time, process name and id, text.
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd HH:mm:ss.zzz} %1[%{pid}] %{message}")
                           .arg(QFileInfo(QString::fromLocal8Bit(argv[0])).fileName()));
    QApplication application(argc, argv);
    // A tray program keeps running with no window open.
    QApplication::setQuitOnLastWindowClosed(false);

    const SingleInstance instance(SingleInstance::standardLockPath());
    if (!instance.isFirst()) {
        StderrLog(QFileInfo(QCoreApplication::applicationFilePath()).fileName())
            .log(QStringLiteral("Kestrelle is already running (process %1); this one exits")
                     .arg(instance.runningProcess()));
        return 0;
    }

    PlatformServices services;
    const Platform platform = services.platform();
    // Lets the desktop match the program's windows to its menu entry and icon.
    QGuiApplication::setDesktopFileName(
        platform.application.infoDictionary().value(QStringLiteral("CFBundleIdentifier")).toString());
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

    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}

} // namespace platform
