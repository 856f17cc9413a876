#pragma once

#include <QString>

// The program's own settings keys. The two shortcut keys belong to AppDelegate.
inline const QString kPlaySoundAfterScreenshotKey = QStringLiteral("playSoundAfterScreenshot");
inline const QString kOpenInPreviewKey = QStringLiteral("openInPreview");
inline const QString kScreenshotFileTypeKey = QStringLiteral("screenshotFileType");
inline const QString kScreenshotFileTypeIndexKey = QStringLiteral("screenshotFileTypeIndex");
// The desktop's appearance; read, never written.
inline const QString kAppleInterfaceStyleKey = QStringLiteral("AppleInterfaceStyle");
