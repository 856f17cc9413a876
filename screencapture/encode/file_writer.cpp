#include "encode/file_writer.h"

#include "failure.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Large enough that the disk gets whole extents, small enough to start during encoding.
constexpr std::size_t kWritebackBytes = 256 * 1024;

} // namespace

void FileWriter::write(const void* data, std::size_t size)
{
    if (int error = writeAll(data, size))
        fail(error);
}

int FileWriter::writeAll(const void* data, std::size_t size) noexcept
{
    auto p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = ::write(m_fd, p, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        p += written;
        size -= std::size_t(written);
        m_written += std::size_t(written);
    }
    if (m_writeback == Writeback::Early && m_written - m_writtenBack >= kWritebackBytes)
        startWriteback();
    return 0;
}

// Only a head start: errors surface in the flush at the end, which waits for everything.
void FileWriter::startWriteback() noexcept
{
    sync_file_range(m_fd, off_t(m_writtenBack), off_t(m_written - m_writtenBack), SYNC_FILE_RANGE_WRITE);
    m_writtenBack = m_written;
}

void FileWriter::fail(int error) const
{
    throw Failure("cannot write '" + m_name + "': " + errnoText(error));
}
