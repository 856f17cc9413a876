#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// Keeps the program's windows that ask for it (keepOutOfCaptures in Windows.h) out of its own
// screenshots: they leave the screen while a capture runs and come back once the last capture under way
// has ended.
class WindowsOutOfCaptures {
public:
    // A capture is about to start. True when a window has just left the screen: the screen then needs a
    // moment (kUnderneathRedrawn) to draw what was under it before the capture may start.
    bool captureStarts();
    // A capture started with captureStarts has ended, or did not start after all.
    void captureEnded();

private:
    QList<QPointer<QWidget>> m_hidden;
    int m_running = 0;
};
