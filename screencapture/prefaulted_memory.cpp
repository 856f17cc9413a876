#include "prefaulted_memory.h"

#include "failure.h"

#include <cerrno>
#include <sys/mman.h>
#include <utility>

PrefaultedMemory::PrefaultedMemory(std::size_t size) : m_size(size)
{
    if (size == 0)
        return;
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (p == MAP_FAILED)
        throw Failure("out of memory for " + std::to_string(size) + " bytes: " + errnoText(errno));
    m_data = static_cast<std::uint8_t*>(p);
}

PrefaultedMemory::PrefaultedMemory(PrefaultedMemory&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0))
{}

PrefaultedMemory& PrefaultedMemory::operator=(PrefaultedMemory&& other) noexcept
{
    std::swap(m_data, other.m_data);
    std::swap(m_size, other.m_size);
    return *this;
}

PrefaultedMemory::~PrefaultedMemory()
{
    if (m_data)
        munmap(m_data, m_size);
}
