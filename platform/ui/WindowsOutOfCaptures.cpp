#include "WindowsOutOfCaptures.h"

#include "ui/Windows.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace {

// A window shown back after a capture is on the screen only once the window manager has mapped it. A
// hide that comes before is lost with some (Mutter maps the X window all the same), and the window is
// in the next capture; so a window on its way back is hidden once it has arrived, or after
// kMapPolls * kMapPoll when it never does.
constexpr std::chrono::milliseconds kMapPoll{10};
constexpr int kMapPolls = 50;

bool onScreen(const QPointer<QWidget>& window)
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
    m_returning.removeIf(
        [](const QPointer<QWidget>& window) { return !window || !window->isVisible() || onScreen(window); });
    if (!m_returning.isEmpty() && pollsLeft > 0) {
        QTimer::singleShot(kMapPoll, &context,
                           [this, &context, start = std::move(start), pollsLeft]() mutable {
                               hideOnceMapped(context, std::move(start), pollsLeft - 1);
                           });
        return;
    }
    m_returning.clear();
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->isVisible() && keptOutOfCaptures(*window)) {
            window->hide();
            setOffScreenForCapture(*window, true);
            m_hidden << window;
            m_underneathRedrawn.setRemainingTime(kUnderneathRedrawn);
        }
    }
    // Also when another capture hid the windows a moment ago: the screen may not have redrawn yet.
    const auto redrawn =
        std::chrono::ceil<std::chrono::milliseconds>(m_underneathRedrawn.remainingTimeAsDuration());
    if (redrawn.count() == 0) {
        start();
        return;
    }
    QTimer::singleShot(redrawn, &context, std::move(start));
}

void WindowsOutOfCaptures::captureEnded()
{
    if (m_running > 0 && --m_running > 0)
        return;
    for (const QPointer<QWidget>& window : std::exchange(m_hidden, {})) {
        // Unless it was closed meanwhile.
        if (window && offScreenForCapture(*window)) {
            setOffScreenForCapture(*window, false);
            m_returning << window;
            window->show();
        }
    }
    for (const auto& [context, then] : std::exchange(m_afterCaptures, {})) {
        if (context)
            then();
    }
    // What those showed is on its way to the screen too.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->isVisible() && keptOutOfCaptures(*window) && !onScreen(window) &&
            !m_returning.contains(window))
            m_returning << window;
    }
}

void WindowsOutOfCaptures::afterCaptures(QObject& context, std::function<void()> then)
{
    if (m_running == 0) {
        then();
        return;
    }
    m_afterCaptures.removeIf(
        [&context](const auto& waiting) { return !waiting.first || waiting.first == &context; });
    m_afterCaptures.append({&context, std::move(then)});
}
