#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// Holds the user session's one lock for the program while it runs. A lock left by a program that died
// is taken over.
class SingleInstance {
public:
    // lockPath: a file in the user's runtime folder.
    explicit SingleInstance(const QString& lockPath);
    static QString standardLockPath();

    bool isFirst() const { return m_isFirst; }
    // The process that holds the lock, when this one is not the first.
    qint64 runningProcess() const;

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_isFirst = false;
};
