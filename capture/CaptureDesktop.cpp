#include "AppDelegate.h"
#include "CaptureCommand.h"
#include "SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "system/Clock.h"
#include "system/Log.h"
#include "system/TaskLauncher.h"
#include "text/DateText.h"
#include "ui/DirectoryChooser.h"

#include <QDateTime>
#include <QDir>

namespace {

const QString kDefaultFileType = QStringLiteral("png");

// The stored type becomes the file name's extension verbatim. Without one the capture is still saved,
// as png; a type that holds a path separator or a NUL would put the file outside the chosen directory
// or cut its name short, so it counts as none.
QString fileTypeForCapture(const std::optional<QString>& stored, Log& log)
{
    if (!stored) {
        log.log(QStringLiteral("No screenshot file type is set; saving the screenshot as png"));
        return kDefaultFileType;
    }
    if (stored->contains(u'/') || stored->contains(QChar(0))) {
        log.log(QStringLiteral("The screenshot file type is not a file name extension; saving the screenshot "
                               "as png"));
        return kDefaultFileType;
    }
    return *stored;
}

} // namespace

void AppDelegate::captureDesktop()
{
    const std::optional<QString> storedFileType = m_defaults.stringForKey(kScreenshotFileTypeKey);
    // The file is named after the moment of the menu choice, not of the confirmation.
    const QDateTime instant = m_platform.clock.now();
    const QString timeText = formatDate(instant, QStringLiteral("hh.mm.ss a"));
    const QString dateText = formatDate(instant, QStringLiteral("MM-dd-yyyy"));
    // The settings hold for this capture even if they change while the chooser is open.
    const bool openInPreview = m_defaults.boolForKey(kOpenInPreviewKey);
    const bool playSound = m_defaults.boolForKey(kPlaySoundAfterScreenshotKey);
    const CaptureOptions options{.openInPreview = openInPreview, .silent = !playSound};
    const QString fileType = fileTypeForCapture(storedFileType, m_platform.log);

    m_platform.application.activate();
    TaskLauncher& launcher = m_platform.launcher;
    Log& log = m_platform.log;
    m_platform.directoryChooser.begin(
        //: The accept button of the folder chooser that picks where a screenshot is saved.
        tr("Save", "folder chooser"),
        [&launcher, &log, options, dateText, timeText, fileType](qint64 response, const QString& directory) {
            if (response != DirectoryChooser::kResponseOK)
                return;
            if (directory.isEmpty()) {
                log.log(QStringLiteral("The directory chooser named no directory; no screenshot was taken"));
                return;
            }
            if (!QDir::isAbsolutePath(directory)) {
                log.log(QStringLiteral("The directory chooser named \"%1\", not a folder's whole path; no "
                                       "screenshot was taken")
                            .arg(directory));
                return;
            }
            // The separator is always inserted: the root gives "//Kestrelle on ...".
            const QString filePath = directory + QStringLiteral("/Kestrelle on ") + dateText +
                                     QStringLiteral(" at ") + timeText + u'.' + fileType;
            launcher.launch(kScreencaptureLaunchPath, captureArguments(options, filePath));
        });
}
