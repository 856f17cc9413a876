#include "Commands.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

// The titles are the tray menu's entries, and also the buttons of the window of commands, the desktop
// entry's actions and the descriptions in --help.
const Command kStatusMenu[] = {
    //: Tray menu entry: saves a screenshot of every monitor to a folder the user then picks.
    {QT_TRANSLATE_NOOP("StatusMenu", "Capture Desktop"), "capture-desktop", &AppDelegate::captureDesktop},
    //: Tray menu entry: puts a screenshot of every monitor on the clipboard.
    {QT_TRANSLATE_NOOP("StatusMenu", "Capture Desktop to Clipboard"), "capture-to-clipboard",
     &AppDelegate::captureToClipboard},
    {nullptr, nullptr, nullptr},
    //: Tray menu entry that opens the Keyboard Shortcuts window; keep the three full stops.
    {QT_TRANSLATE_NOOP("StatusMenu", "Set keyboard shortcuts..."), "shortcuts",
     &AppDelegate::openShortcutsWindow},
    {nullptr, nullptr, nullptr},
    //: Tray menu entry that opens the Preferences window: as the desktop says it, with three full stops.
    {QT_TRANSLATE_NOOP("StatusMenu", "Preferences..."), "preferences", &AppDelegate::openPrefsWindow},
    {nullptr, nullptr, nullptr},
    //: Tray menu entry that opens the About window; Kestrelle is the program's name.
    {QT_TRANSLATE_NOOP("StatusMenu", "About Kestrelle"), "about", &AppDelegate::openAboutWindow},
    //: Tray menu entry that ends the program.
    {QT_TRANSLATE_NOOP("StatusMenu", "Quit Kestrelle"), "quit", &AppDelegate::quit},
};

} // namespace

QString titleOf(const Command& command)
{
    return QCoreApplication::translate("StatusMenu", command.title);
}

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
            actions.append(
                {QLatin1String(command.name), titleOf(command), command.action != &AppDelegate::quit});
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
