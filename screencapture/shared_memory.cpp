#include "shared_memory.h"

#include "failure.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

SharedMemory::SharedMemory(std::size_t size) : m_size(size)
{
    void* p = MAP_FAILED;
    m_fd = memfd_create("screencapture", MFD_CLOEXEC);
    if (m_fd >= 0 && ftruncate(m_fd, off_t(size)) == 0)
        p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, m_fd, 0);
    if (p == MAP_FAILED) {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
        p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    }
    if (p == MAP_FAILED)
        throw Failure("out of memory for " + std::to_string(size) + " bytes: " + errnoText(errno));
    m_data = static_cast<std::uint8_t*>(p);
}

SharedMemory::~SharedMemory()
{
    munmap(m_data, m_size);
    if (m_fd >= 0)
        close(m_fd);
}

int SharedMemory::duplicateFd() const
{
    return m_fd < 0 ? -1 : fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
}
