#include "AppDelegate.h"
#include "CaptureCommand.h"
#include "SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "system/TaskLauncher.h"

void AppDelegate::captureToClipboard()
{
    // Read at every capture, so a preference change applies to the next one.
    const bool playSound = m_defaults.boolForKey(kPlaySoundAfterScreenshotKey);
    m_platform.launcher.launch(kScreencaptureLaunchPath,
                               captureArguments({.toClipboard = true, .silent = !playSound}));
}
