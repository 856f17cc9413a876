#include "AppDelegate.h"
#include "Commands.h"
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
    if (QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!m_commandsWindow)
        m_commandsWindow = makeCommandsWindow();
    bringWindowToFront(m_commandsWindow.get());
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
        auto* button = new QPushButton(QString::fromLatin1(command.title), window.get());
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, command.action);
    }
    return window;
}
