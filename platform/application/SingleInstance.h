#pragma once

#include <QLockFile>
#include <QString>

#include <memory>
#include <optional>

// Holds the user session's one lock for the program while it runs, where the session bus cannot say
// which program runs. A lock left by a program that died is taken over.
class SingleInstance {
public:
    // lockPath: a file in a folder that only the user can write.
    explicit SingleInstance(const QString& lockPath);

    // The lock file in the user's runtime folder (XDG_RUNTIME_DIR), with the user's id in its name;
    // nothing when there is no such folder or it is not private.
    static std::optional<QString> standardLockPath();
    // The lock file in runtimeFolder, when that is a folder (not a link) of the user's own that nobody
    // else may enter: anyone who can write there could hold the lock in the user's place.
    static std::optional<QString> lockPathIn(const QString& runtimeFolder);

    bool isFirst() const { return m_isFirst; }
    // The process that holds the lock, when this one is not the first.
    qint64 runningProcess() const;

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_isFirst = false;
};
