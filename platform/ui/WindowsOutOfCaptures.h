#pragma once

#include <QDeadlineTimer>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <utility>

// Keeps the program's windows that ask for it (keepOutOfCaptures in Windows.h) out of its own
// screenshots: they leave the screen while a capture runs and come back once the last capture under way
// has ended.
class WindowsOutOfCaptures {
public:
    // A capture is about to start: start runs once such windows have left the screen and the screen has
    // had a moment (kUnderneathRedrawn) to draw what was under them; at once when none is or was just
    // showing. A start still waiting is dropped with context.
    void captureStarts(QObject& context, std::function<void()> start);
    // A capture started with captureStarts has ended, or did not start after all.
    void captureEnded();
    // Runs then once no capture is under way, at once when none is; nothing once context is gone. One
    // call waits per context: a later one takes its place.
    void afterCaptures(QObject& context, std::function<void()> then);
    // Captures started with captureStarts and not yet ended: waiting to start or running.
    int underWay() const { return m_running; }

private:
    void hideOnceMapped(QObject& context, std::function<void()> start, int pollsLeft);

    QList<QPointer<QWidget>> m_hidden;
    // Shown again by captureEnded and not yet seen on the screen.
    QList<QPointer<QWidget>> m_returning;
    // Expires kUnderneathRedrawn after the last window left the screen.
    QDeadlineTimer m_underneathRedrawn;
    int m_running = 0;
    QList<std::pair<QPointer<QObject>, std::function<void()>>> m_afterCaptures;
};
