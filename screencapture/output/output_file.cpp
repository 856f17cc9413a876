#include "output/output_file.h"

#include "failure.h"
#include "output/file_name.h"
#include "removal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t currentUmask()
{
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// The last number a taken name gets: a folder that holds all of them is not one to fill further.
constexpr int kLastNumber = 10000;

std::string baseName(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

[[noreturn]] void failIn(const std::string& folder, int error)
{
    throw Failure("cannot save into '" + folder + "': " + errnoText(error));
}

} // namespace

OutputFile::OutputFile(std::string path)
    : m_path(std::move(path)), m_folder(folderOf(m_path)), m_writer(-1, m_path)
{
    int fd = open(m_folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // Not every file system has unnamed files; a hidden name in the same folder will do.
        std::string name = m_folder + "/.screencapture-XXXXXX";
        fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) {
            m_hiddenName = name;
            fchmod(fd, 0644 & ~currentUmask());
        }
    }
    if (fd < 0)
        failIn(m_folder, errno);
    m_writer = FileWriter(fd, m_path, FileWriter::Writeback::Early);
}

OutputFile::~OutputFile()
{
    if (!m_hiddenName.empty())
        unlink(m_hiddenName.c_str());
    close(m_writer.fd());
}

std::string OutputFile::commit()
{
    if (fdatasync(m_writer.fd()) != 0)
        m_writer.fail(errno);
    std::string name = m_path;
    for (int n = 2; !publishAs(name); ++n) {
        if (n > kLastNumber) {
            const std::string last = numberedName(m_path, kLastNumber);
            throw Failure("cannot save '" + m_path + "': it and '" + numberedName(baseName(m_path), 2) +
                          "' to '" + baseName(last) + "' are all taken");
        }
        name = numberedName(m_path, n);
    }
    m_hiddenName.clear();
    // The new name must survive a crash as well as the contents.
    if (int folder = open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return name;
}

// Links the file under `name` unless that name is taken; throws on any other failure.
bool OutputFile::publishAs(const std::string& name)
{
    int result;
    if (m_hiddenName.empty()) {
        std::string self = "/proc/self/fd/" + std::to_string(m_writer.fd());
        result = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
    } else {
        result = renameat2(AT_FDCWD, m_hiddenName.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            result = link(m_hiddenName.c_str(), name.c_str());
            if (result == 0)
                unlink(m_hiddenName.c_str());
            else if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS)
                result = claimThenRename(name);
        }
    }
    if (result == 0)
        return true;
    if (errno == EEXIST)
        return false;
    throw Failure("cannot save '" + name + "': " + errnoText(errno));
}

// For file systems with neither no-replace renames nor hard links (sshfs, SMB): the name is
// claimed with an empty file of our own, which the rename then replaces. Someone may glimpse the
// empty file for a moment, but no existing file is replaced and the capture is not lost. A rename
// that fails takes back the claim, and only the claim: the name may have come to name another file.
int OutputFile::claimThenRename(const std::string& name)
{
    const int claim = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (claim < 0)
        return -1;
    // Closed before the rename: SMB replaces no file that is open.
    struct stat claimed {};
    const bool known = fstat(claim, &claimed) == 0;
    close(claim);
    if (rename(m_hiddenName.c_str(), name.c_str()) == 0)
        return 0;
    const int error = errno;
    const int folder = open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0 && known) {
        std::string keptAs;
        removeIfSame(folder, baseName(name), claimed, keptAs);
    }
    if (folder >= 0)
        close(folder);
    errno = error;
    return -1;
}
