#include "WindowsOutOfCaptures.h"

#include "ui/Windows.h"

#include <QApplication>

bool WindowsOutOfCaptures::captureStarts()
{
    ++m_running;
    bool hidden = false;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->isVisible() && keptOutOfCaptures(*window)) {
            window->hide();
            m_hidden << window;
            hidden = true;
        }
    }
    return hidden;
}

void WindowsOutOfCaptures::captureEnded()
{
    if (m_running > 0 && --m_running > 0)
        return;
    for (const QPointer<QWidget>& window : std::as_const(m_hidden)) {
        if (window)
            window->show();
    }
    m_hidden.clear();
}
