#include "removal.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

namespace {

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Hidden, and not one that anybody else uses.
std::string asideName()
{
    unsigned char bytes[8] = {};
    if (getrandom(bytes, sizeof bytes, 0) != sizeof bytes) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        std::memcpy(bytes, &now, sizeof bytes);
    }
    std::string name = ".screencapture-";
    for (const unsigned char b : bytes)
        name += "0123456789abcdef"[b >> 4], name += "0123456789abcdef"[b & 15];
    return name;
}

Removal removeInPlace(int folder, const std::string& name, const struct stat& file)
{
    struct stat named {};
    if (fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Removal::Gone : Removal::Failed;
    if (!sameFile(named, file))
        return Removal::Other;
    if (unlinkat(folder, name.c_str(), 0) == 0)
        return Removal::Removed;
    return errno == ENOENT ? Removal::Gone : Removal::Failed;
}

} // namespace

Removal removeIfSame(int folder, const std::string& name, const struct stat& file, std::string& keptAs)
{
    const std::string aside = asideName();
    if (renameat2(folder, name.c_str(), folder, aside.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno == EINVAL || errno == ENOSYS)
            return removeInPlace(folder, name, file);
        return errno == ENOENT ? Removal::Gone : Removal::Failed;
    }
    struct stat moved {};
    if (fstatat(folder, aside.c_str(), &moved, AT_SYMLINK_NOFOLLOW) != 0)
        return Removal::Gone;
    if (sameFile(moved, file) && unlinkat(folder, aside.c_str(), 0) == 0)
        return Removal::Removed;
    const Removal removal = sameFile(moved, file) ? Removal::Failed : Removal::Other;
    if (renameat2(folder, aside.c_str(), folder, name.c_str(), RENAME_NOREPLACE) != 0)
        keptAs = aside;
    return removal;
}
