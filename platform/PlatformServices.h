#pragma once

#include "Platform.h"
#include "application/QtApplication.h"
#include "settings/SettingsStore.h"
#include "shortcuts/ShortcutBinder.h"
#include "system/Clock.h"
#include "system/ProcessTaskLauncher.h"
#include "system/StderrLog.h"
#include "ui/DirectoryChooser.h"

#include <memory>

// The production implementation of every service, made once the QApplication exists.
class PlatformServices {
public:
    PlatformServices();
    Platform platform()
    {
        return {m_defaults, m_launcher, *m_chooser, m_clock, m_log, m_application, *m_binder};
    }
    Log& log() { return m_log; }

private:
    StderrLog m_log;
    SettingsStore m_defaults;
    ProcessTaskLauncher m_launcher;
    std::unique_ptr<DirectoryChooser> m_chooser;
    SystemClock m_clock;
    QtApplication m_application;
    std::unique_ptr<ShortcutBinder> m_binder;
};
