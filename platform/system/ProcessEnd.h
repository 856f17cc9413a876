#pragma once

#include <QtGlobal>

#include <functional>

class QObject;

// Runs ended once on the main loop when the process has ended, also when it is no child of this one
// (a detached process). Where the system cannot watch a process, it runs at once. A watch that context
// outlives ends with it, silently.
void whenProcessEnds(qint64 pid, QObject& context, std::function<void()> ended);
