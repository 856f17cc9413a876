#include "shared_memory.h"

#include "failure.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

[[noreturn]] void outOfMemory(std::size_t size, int error)
{
    throw Failure("out of memory for " + std::to_string(size) + " bytes: " + errnoText(error));
}

} // namespace

SharedMemory::SharedMemory(std::size_t size) : m_size(size)
{
    m_fd = memfd_create("screencapture", MFD_CLOEXEC);
    if (m_fd < 0)
        outOfMemory(size, errno);
    void* p = MAP_FAILED;
    if (ftruncate(m_fd, off_t(size)) == 0)
        p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, m_fd, 0);
    if (p == MAP_FAILED) {
        int error = errno;
        close(m_fd);
        outOfMemory(size, error);
    }
    m_data = static_cast<std::uint8_t*>(p);
}

SharedMemory::~SharedMemory()
{
    munmap(m_data, m_size);
    close(m_fd);
}

int SharedMemory::duplicateFd() const
{
    return fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
}
