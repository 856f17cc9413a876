#include "ApplicationMain.h"

#include <cstdio>

namespace platform {

QStringList commandLineArguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int answerCommandLine(const CommandLine& commandLine, const QString& processName)
{
    if (commandLine.request == CommandLine::Request::Refuse) {
        StderrLog(processName).log(commandLine.text);
        return 2;
    }
    std::fputs(commandLine.text.toLocal8Bit().constData(), stdout);
    return 0;
}

} // namespace platform
