#pragma once

#include "shared_memory.h"
#include "wayland_object.h"

#include <cstdint>

// A buffer the compositor writes into and this process reads: memory shared over a memfd.
class WaylandShmBuffer {
public:
    // Throws a Failure when the memory cannot be made or shared.
    WaylandShmBuffer(wl_shm* shm, std::uint32_t format, int width, int height, int stride);

    wl_buffer* buffer() const { return m_buffer.get(); }
    const std::uint8_t* data() const { return m_memory.data(); }

private:
    SharedMemory m_memory;
    WaylandObject<wl_buffer> m_buffer;
};
