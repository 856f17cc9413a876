#pragma once

#include "PlatformServices.h"

#include <QApplication>

namespace platform {

// Runs the application until it quits: the platform services, then the one application delegate.
template <typename Delegate> int applicationMain(int argc, char** argv)
{
    QApplication application(argc, argv);
    // A tray program keeps running with no window open.
    QApplication::setQuitOnLastWindowClosed(false);
    PlatformServices services;
    Delegate delegate(services.platform());
    return QApplication::exec();
}

} // namespace platform
