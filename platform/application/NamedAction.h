#pragma once

#include <QList>
#include <QString>

// A command that the desktop can ask of the program by name: as an option on the command line
// ("--capture-desktop"), as an action of its desktop entry, and over D-Bus.
struct NamedAction {
    QString name;
    // What the command is called where a person sees it, such as in the help text.
    QString title;
    // False for a command that only concerns a running program ("quit"): with none running, a start
    // asked for it ends at once instead of starting the program.
    bool startsProgram = true;
};

using NamedActions = QList<NamedAction>;
