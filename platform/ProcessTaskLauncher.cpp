#include "ProcessTaskLauncher.h"

#include "Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

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

QString ProcessTaskLauncher::resolve(const QString& launchPath) const
{
    if (isExecutableFile(launchPath))
        return launchPath;
    const QString name = QFileInfo(launchPath).fileName();
    for (const QString& folder : m_standInFolders) {
        const QString candidate = QDir(folder).filePath(name);
        if (isExecutableFile(candidate))
            return candidate;
    }
    return {};
}

void ProcessTaskLauncher::launch(const QString& launchPath, const QStringList& arguments)
{
    const QString program = resolve(launchPath);
    if (program.isEmpty()) {
        m_log.log(QStringLiteral("Could not start %1: it is not installed (also looked in %2)")
                      .arg(launchPath, m_standInFolders.join(QStringLiteral(", "))));
        return;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!process.startDetached())
        m_log.log(QStringLiteral("Could not start %1: %2").arg(program, process.errorString()));
}
