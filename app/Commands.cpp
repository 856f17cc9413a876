#include "Commands.h"

#include <algorithm>

namespace {

const Command kStatusMenu[] = {
    {"Capture Desktop", "capture-desktop", &AppDelegate::captureDesktop},
    {"Capture Desktop to Clipboard", "capture-to-clipboard", &AppDelegate::captureToClipboard},
    {nullptr, nullptr, nullptr},
    {"Set keyboard shortcuts...", "shortcuts", &AppDelegate::openShortcutsWindow},
    {nullptr, nullptr, nullptr},
    {"Preferences...", "preferences", &AppDelegate::openPrefsWindow},
    {nullptr, nullptr, nullptr},
    {"About Kestrelle", "about", &AppDelegate::openAboutWindow},
    {"Quit Kestrelle", "quit", &AppDelegate::quit},
};

} // namespace

std::span<const Command> statusMenuCommands()
{
    return kStatusMenu;
}

QString commandLineOf(void (AppDelegate::*action)())
{
    const auto command = std::find_if(std::cbegin(kStatusMenu), std::cend(kStatusMenu),
                                      [action](const Command& each) { return each.action == action; });
    return QStringLiteral("kestrelle --") + QLatin1String(command->name);
}

NamedActions AppDelegate::namedActions()
{
    NamedActions actions;
    for (const Command& command : kStatusMenu) {
        if (command.name)
            actions.append({QLatin1String(command.name), QLatin1String(command.title),
                            command.action != &AppDelegate::quit});
    }
    return actions;
}

bool AppDelegate::performAction(const QString& name)
{
    const auto command =
        std::find_if(std::cbegin(kStatusMenu), std::cend(kStatusMenu),
                     [&name](const Command& each) { return each.name && name == QLatin1String(each.name); });
    if (command == std::cend(kStatusMenu))
        return false;
    (this->*command->action)();
    return true;
}
