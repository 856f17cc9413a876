#include "AppDelegate.h"
#include "Commands.h"
#include "system/Log.h"
#include "system/TaskLauncher.h"
#include "tray/StatusItem.h"
#include "ui/Windows.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Between the groups of commands, where the menu has its separators.
constexpr int kGroupSpacing = 10;

} // namespace

void AppDelegate::applicationShouldHandleReopen()
{
    // With a tray, its icon is the way in, and a new start changes nothing.
    if (statusItemInTray(*m_statusItem))
        return;
    // Asked for by name: the person wants it, tray or not.
    keepCommandsWindow();
    openCommandsWindow();
}

void AppDelegate::applicationDidStartWithoutRequest()
{
    if (statusItemInTray(*m_statusItem))
        return;
    openCommandsWindow();
    // At login the tray often starts a moment after the program: the window was only a stand-in for the
    // icon, and left open it would greet the person at every login.
    m_commandsWindowUntilInTray = std::make_unique<QObject>();
    QObject& untilInTray = *m_commandsWindowUntilInTray;
    whenUsed(*m_commandsWindow, untilInTray, [this] { keepCommandsWindow(); });
    whenStatusItemInTray(*m_statusItem, untilInTray, [this] {
        keepCommandsWindow();
        closeWindow(*m_commandsWindow);
        m_platform.log.log(
            QStringLiteral("Closed the Kestrelle window: the Kestrelle icon is now in the tray"));
    });
}

void AppDelegate::openCommandsWindow()
{
    if (!m_commandsWindow)
        m_commandsWindow = makeCommandsWindow();
    // Asked for while a capture is under way (a second start, say), it comes once the capture has ended.
    m_platform.launcher.afterTasks(*m_commandsWindow, [this] { bringWindowToFront(m_commandsWindow.get()); });
}

void AppDelegate::keepCommandsWindow()
{
    // Ended from its own callbacks: deleted once they have returned.
    if (m_commandsWindowUntilInTray)
        m_commandsWindowUntilInTray.release()->deleteLater();
}

std::unique_ptr<QWidget> AppDelegate::makeCommandsWindow()
{
    auto window = std::make_unique<QWidget>();
    window->setObjectName(QStringLiteral("commandsWindow"));
    // Closing it only hides it, and the program goes on: a later start shows it again.
    window->setWindowTitle(QStringLiteral("Kestrelle"));
    keepOutOfCaptures(*window);
    auto* layout = new QVBoxLayout(window.get());
    layout->setSizeConstraint(QLayout::SetFixedSize);
    for (const Command& command : statusMenuCommands()) {
        if (!command.title) {
            layout->addSpacing(kGroupSpacing);
            continue;
        }
        auto* button = new QPushButton(titleOf(command), window.get());
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, command.action);
    }
    return window;
}
