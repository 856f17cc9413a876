#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QObject;

// Starts a program in a process of its own and goes on at once: nothing is waited for or read back.
class TaskLauncher {
public:
    virtual ~TaskLauncher() = default;
    virtual void launch(const QString& launchPath, const QStringList& arguments) = 0;
    // Runs then once no task that launch() started is under way, at once when none is: a window kept out
    // of captures (keepOutOfCaptures in ui/Windows.h) is shown only then. Nothing once context is gone;
    // a later call for the same context takes the place of one still waiting.
    virtual void afterTasks([[maybe_unused]] QObject& context, std::function<void()> then) { then(); }
};
