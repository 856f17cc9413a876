#include "SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

SingleInstance::SingleInstance(const QString& lockPath) : m_lock(std::make_unique<QLockFile>(lockPath))
{
    // A lock is never stale by age while its process lives; only a dead holder frees it.
    m_lock->setStaleLockTime(0);
    m_isFirst = m_lock->tryLock(0);
}

QString SingleInstance::standardLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("kestrelle.lock"));
}

qint64 SingleInstance::runningProcess() const
{
    qint64 pid = 0;
    QString hostname, application;
    m_lock->getLockInfo(&pid, &hostname, &application);
    return pid;
}
