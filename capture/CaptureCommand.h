#pragma once

#include <QString>
#include <QStringList>

// Every capture is one run of the system's capture tool.
inline const QString kScreencaptureLaunchPath = QStringLiteral("/usr/sbin/screencapture");

struct CaptureOptions {
    bool toClipboard = false;   // "-c": the image goes to the clipboard, no file is written
    bool openInPreview = false; // "-P": the saved image opens in the image viewer
    bool silent = false;        // "-x": no capture sound
};

// The tool's arguments in the order it is always given them: "-c", "-P", "-x", then the file path, if any.
QStringList captureArguments(const CaptureOptions& options, const QString& filePath = {});
