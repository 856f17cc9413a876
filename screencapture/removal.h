#pragma once

#include <string>
#include <sys/stat.h>

// What became of a name that was to be removed only while it names a given file.
enum class Removal {
    Removed, // it named the file, and is gone
    Gone,    // it named nothing any more
    Other,   // it names another file, which is left alone
    Failed,  // it could not be looked at or removed
};

// Removes `name` from the open folder `folder` only while it names `file` (by device and inode).
// The name is first moved aside, to a name of this process's own in the same folder, and looked at
// there: a file that takes the name at any moment, before the look or after it, is never the one
// removed, and goes back under its name (or, where a third file has taken that meanwhile, stays
// under the aside name, which `keptAs` then holds). On file systems without no-replace renames
// (sshfs, SMB) the name is looked at where it is, then removed.
Removal removeIfSame(int folder, const std::string& name, const struct stat& file, std::string& keptAs);
