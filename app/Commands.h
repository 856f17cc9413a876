#pragma once

#include "AppDelegate.h"

#include <span>

// One of the program's commands, as its status menu lists it.
struct Command {
    // The menu entry's title in English, translated by titleOf(); none for a separator.
    const char* title;
    // Its name as the desktop asks for it: the option "--capture-desktop", the desktop entry's and the
    // D-Bus action "capture-desktop".
    const char* name;
    void (AppDelegate::*action)();
};

// The status menu, top to bottom. The window of commands, the command line and the desktop's actions
// are made from it too, so they list the same commands under the same titles.
std::span<const Command> statusMenuCommands();

// The command's title in the user's language.
QString titleOf(const Command& command);

// What a person types to run the command from a terminal or binds to a key: "kestrelle --capture-desktop".
QString commandLineOf(void (AppDelegate::*action)());
