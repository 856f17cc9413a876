#include "CaptureCommand.h"

QStringList captureArguments(const CaptureOptions& options, const QString& filePath)
{
    QStringList arguments;
    if (options.toClipboard)
        arguments << QStringLiteral("-c");
    if (options.openInPreview)
        arguments << QStringLiteral("-P");
    if (options.silent)
        arguments << QStringLiteral("-x");
    if (!filePath.isEmpty())
        arguments << filePath;
    return arguments;
}
