#include "grab/wayland_shm_buffer.h"

#include "failure.h"

#include <unistd.h>

WaylandShmBuffer::WaylandShmBuffer(wl_shm* shm, std::uint32_t format, int width, int height, int stride)
    : m_memory(std::size_t(stride) * std::size_t(height))
{
    const int fd = m_memory.duplicateFd();
    if (fd < 0)
        throw Failure("cannot make memory to share with the Wayland compositor");
    // The pool holds the compositor's mapping; the buffer keeps the pool alive there.
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, std::int32_t(m_memory.size()));
    close(fd);
    m_buffer.reset(wl_shm_pool_create_buffer(pool, 0, width, height, stride, format));
    wl_shm_pool_destroy(pool);
}
