#pragma once

#include <cstddef>
#include <cstdint>

// Memory backed by an unnamed file (memfd), so that another process can map the same pages
// when handed the descriptor. Where no such file can be made (a file size limit, say), it is
// private memory that cannot be handed over. Its pages are faulted in when it is made.
class SharedMemory {
public:
    explicit SharedMemory(std::size_t size);
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;
    ~SharedMemory();

    std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    // A new descriptor of the same memory, for handing over; the receiver owns it. -1 when the
    // memory is private or no descriptor is left.
    int duplicateFd() const;

private:
    int m_fd = -1;
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};
