#pragma once

#include "system/TaskLauncher.h"
#include "ui/WindowsOutOfCaptures.h"

#include <QObject>

class Log;

// Starts each task as a detached process that inherits our standard streams, environment and working
// directory. A program path that is not executable here is looked up among the stand-ins: the capture
// tool that ships with Kestrelle takes the place of the system's one on desktops that have none. The
// program's windows that stay out of captures leave the screen while a task runs. At most kMostUnderWay
// tasks are under way at once: a launch beyond starts nothing, and the first of a run of them says so.
class ProcessTaskLauncher final : public TaskLauncher {
public:
    // Each task holds connections to the X server, which serves a few hundred clients for the whole
    // session, and any program on the session bus may ask for captures. Well above what a person's
    // presses keep running at once: a task that has ended no longer counts.
    static constexpr int kMostUnderWay = 32;

    // standInFolders: where to look, in order, for a program of the same file name.
    ProcessTaskLauncher(Log& log, QStringList standInFolders);

    // The folder of the running program, then the private tool folder of its installation.
    static QStringList installedStandInFolders();

    void launch(const QString& launchPath, const QStringList& arguments) override;
    void afterTasks(QObject& context, std::function<void()> then) override;

    // The executable that launch() starts for launchPath, or an empty string.
    QString resolve(const QString& launchPath) const;

private:
    // launchPath, then a program of its file name in each stand-in folder.
    QStringList candidates(const QString& launchPath) const;
    void start(const QString& program, const QStringList& arguments);

    Log& m_log;
    QStringList m_standInFolders;
    WindowsOutOfCaptures m_windowsOut;
    // Said that launches are refused, and none has started since.
    bool m_refusing = false;
    // Holds the pending starts and the watches of the running tasks.
    QObject m_context;
};
