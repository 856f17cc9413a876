#pragma once

#include <QString>
#include <QStringList>

// Starts a program in a process of its own and goes on at once: nothing is waited for or read back.
class TaskLauncher {
public:
    virtual ~TaskLauncher() = default;
    virtual void launch(const QString& launchPath, const QStringList& arguments) = 0;
};
