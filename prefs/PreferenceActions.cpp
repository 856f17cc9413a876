#include "AppDelegate.h"
#include "SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "system/Log.h"
#include "text/TextCase.h"

namespace {

// Only a check mark counts as on: off, mixed and a missing box are all off.
bool isOn(const QPointer<QCheckBox>& outlet)
{
    const QPointer<QCheckBox> box = outlet;
    return box && box->checkState() == Qt::Checked;
}

} // namespace

void AppDelegate::fileType(QObject*)
{
    const QPointer<QComboBox> picker = m_fileTypePicker;
    // No picker or no selection: nothing to store, and the stored pair stays consistent.
    if (!picker || picker->currentIndex() < 0)
        return;
    const QString type = lowercaseString(picker->currentText());
    m_platform.log.log(QStringLiteral("Setting screenshot file type to ") + type);
    // One write: the type and its index never disagree in the file.
    m_defaults.setObjects(
        {{kScreenshotFileTypeKey, type}, {kScreenshotFileTypeIndexKey, qint64(picker->currentIndex())}});
}

void AppDelegate::openInPreview(QObject*)
{
    const bool on = isOn(m_openInPreviewBtn);
    m_platform.log.log(
        on ? QStringLiteral("Setting changed: Opening screenshot in Preview after saving is complete")
           : QStringLiteral("Setting changed: Not opening screenshot in Preview after saving is "
                            "complete"));
    m_defaults.setBool(on, kOpenInPreviewKey);
}

void AppDelegate::playSoundAfterScreenshot(QObject*)
{
    const bool on = isOn(m_playSoundBtn);
    m_platform.log.log(on ? QStringLiteral("Setting changed: Playing sound after screenshot")
                          : QStringLiteral("Setting changed: Not playing sound after screenshot"));
    m_defaults.setBool(on, kPlaySoundAfterScreenshotKey);
}
