#pragma once

#include "application/NamedAction.h"

#include <QStringList>

#include <optional>

// What a start of the program was asked to do on its command line: run (then perhaps one named action),
// or only answer --help or --version, or refuse what it cannot read.
struct CommandLine {
    enum class Request { Run, Help, Version, Refuse };

    Request request = Request::Run;
    // The one named action to run, when the command line gives one.
    std::optional<QString> action;
    // What to print for Help and Version; for Refuse the one-line reason.
    QString text;

    // arguments: the program's name, then its arguments. Each named action is an option of its name;
    // besides those, --help, --version and Qt's -platform NAME and -display DISPLAY, which Qt takes.
    static CommandLine parse(const QStringList& arguments, const NamedActions& actions,
                             const QString& version);
};
