#include "ProcessTaskLauncher.h"

#include "system/Log.h"
#include "system/ProcessEnd.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

namespace {

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

ProcessTaskLauncher::ProcessTaskLauncher(Log& log, QStringList standInFolders)
    : m_log(log), m_standInFolders(std::move(standInFolders))
{}

QStringList ProcessTaskLauncher::installedStandInFolders()
{
    const QDir programDir(QCoreApplication::applicationDirPath());
    return {programDir.path(),
            QDir::cleanPath(programDir.filePath(QStringLiteral(KESTRELLE_TOOL_DIR_FROM_BIN)))};
}

QStringList ProcessTaskLauncher::candidates(const QString& launchPath) const
{
    QStringList paths{launchPath};
    const QString name = QFileInfo(launchPath).fileName();
    for (const QString& folder : m_standInFolders)
        paths << QDir(folder).filePath(name);
    return paths;
}

QString ProcessTaskLauncher::resolve(const QString& launchPath) const
{
    const QStringList paths = candidates(launchPath);
    const auto found = std::find_if(paths.cbegin(), paths.cend(), isExecutableFile);
    return found == paths.cend() ? QString() : *found;
}

void ProcessTaskLauncher::launch(const QString& launchPath, const QStringList& arguments)
{
    const QString program = resolve(launchPath);
    if (program.isEmpty()) {
        // A tool that lost its permission is not a missing one: name the file the user has to fix.
        const QStringList paths = candidates(launchPath);
        const auto present = std::find_if(paths.cbegin(), paths.cend(),
                                          [](const QString& path) { return QFileInfo(path).isFile(); });
        if (present != paths.cend()) {
            m_log.log(QStringLiteral("Could not start %1: %2 is not executable").arg(launchPath, *present));
            return;
        }
        m_log.log(QStringLiteral("Could not start %1: it is not installed (also looked in %2)")
                      .arg(launchPath, m_standInFolders.join(QStringLiteral(", "))));
        return;
    }
    if (m_windowsOut.underWay() >= kMostUnderWay)
        reportEndedProcesses(m_context);
    if (m_windowsOut.underWay() >= kMostUnderWay) {
        if (!m_refusing)
            m_log.log(
                QStringLiteral("%1 captures are under way, as many as Kestrelle runs at once; it starts "
                               "no other until one has ended")
                    .arg(m_windowsOut.underWay()));
        m_refusing = true;
        return;
    }
    m_refusing = false;
    m_windowsOut.captureStarts(m_context, [this, program, arguments] { start(program, arguments); });
}

void ProcessTaskLauncher::afterTasks(QObject& context, std::function<void()> then)
{
    m_windowsOut.afterCaptures(context, std::move(then));
}

void ProcessTaskLauncher::start(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        m_log.log(QStringLiteral("Could not start %1: %2").arg(program, process.errorString()));
        m_windowsOut.captureEnded();
        return;
    }
    whenProcessEnds(pid, m_context, [this] { m_windowsOut.captureEnded(); });
}
