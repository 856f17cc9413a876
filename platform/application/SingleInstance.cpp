#include "SingleInstance.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

SingleInstance::SingleInstance(const QString& lockPath) : m_lock(std::make_unique<QLockFile>(lockPath))
{
    // A lock is never stale by age while its process lives; only a dead holder frees it.
    m_lock->setStaleLockTime(0);
    m_isFirst = m_lock->tryLock(0);
}

std::optional<QString> SingleInstance::standardLockPath()
{
    return lockPathIn(qEnvironmentVariable("XDG_RUNTIME_DIR"));
}

std::optional<QString> SingleInstance::lockPathIn(const QString& runtimeFolder)
{
    struct stat folder = {};
    if (runtimeFolder.isEmpty() || ::lstat(QFile::encodeName(runtimeFolder).constData(), &folder) != 0)
        return std::nullopt;
    const bool privateFolder =
        S_ISDIR(folder.st_mode) && folder.st_uid == ::getuid() && (folder.st_mode & (S_IRWXG | S_IRWXO)) == 0;
    if (!privateFolder)
        return std::nullopt;
    return QDir(runtimeFolder).filePath(QStringLiteral("kestrelle-%1.lock").arg(::getuid()));
}

qint64 SingleInstance::runningProcess() const
{
    qint64 pid = 0;
    QString hostname, application;
    m_lock->getLockInfo(&pid, &hostname, &application);
    return pid;
}
