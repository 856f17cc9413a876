#include "WindowsOutOfCaptures.h"

#include "ui/Windows.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace {

// A window shown back after a capture is on the screen only once the window manager has mapped it. A
// hide that comes before is lost with some (Mutter maps the X window all the same), and the window is
// in the next capture; so a window on its way back is hidden once it has arrived, or after
// kMapPolls * kMapPoll when it never does (minimized, say).
constexpr std::chrono::milliseconds kMapPoll{10};
constexpr int kMapPolls = 50;

QList<QWidget*> showingWindows()
{
    QList<QWidget*> showing;
    const auto windows = QApplication::topLevelWidgets();
    std::copy_if(windows.cbegin(), windows.cend(), std::back_inserter(showing),
                 [](QWidget* window) { return window->isVisible() && keptOutOfCaptures(*window); });
    return showing;
}

bool mapped(const QWidget* window)
{
    return window->windowHandle() && window->windowHandle()->isExposed();
}

} // namespace

void WindowsOutOfCaptures::captureStarts(QObject& context, std::function<void()> start)
{
    ++m_running;
    hideOnceMapped(context, std::move(start), kMapPolls);
}

void WindowsOutOfCaptures::hideOnceMapped(QObject& context, std::function<void()> start, int pollsLeft)
{
    const QList<QWidget*> windows = showingWindows();
    if (pollsLeft > 0 && !std::all_of(windows.cbegin(), windows.cend(), mapped)) {
        QTimer::singleShot(kMapPoll, &context,
                           [this, &context, start = std::move(start), pollsLeft]() mutable {
                               hideOnceMapped(context, std::move(start), pollsLeft - 1);
                           });
        return;
    }
    if (windows.isEmpty()) {
        start();
        return;
    }
    for (QWidget* window : windows) {
        window->hide();
        m_hidden << window;
    }
    QTimer::singleShot(kUnderneathRedrawn, &context, std::move(start));
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
