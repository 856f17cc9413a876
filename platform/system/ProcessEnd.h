#pragma once

#include <QtGlobal>

#include <functional>

class QObject;

// Runs ended once on the main loop when the process has ended, also when it is no child of this one
// (a detached process), and not before: where the system gives no process descriptor, the process is
// looked at every 50 ms instead. A watch that context outlives ends with it, silently.
void whenProcessEnds(qint64 pid, QObject& context, std::function<void()> ended);

// Runs at once the ended of each watch under context whose process has ended by now, rather than on a
// later turn of the main loop: a loop busy with a burst of events may not have seen the ends yet.
void reportEndedProcesses(QObject& context);
