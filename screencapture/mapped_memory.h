#pragma once

#include <cstddef>
#include <cstdint>

// Anonymous memory whose pages are faulted in when it is made. Touching fresh pages one by one
// costs far more than populating them in one go, and every large buffer of a capture is fresh.
class MappedMemory {
public:
    MappedMemory() = default;
    explicit MappedMemory(std::size_t size);
    MappedMemory(MappedMemory&& other) noexcept;
    MappedMemory& operator=(MappedMemory&& other) noexcept;
    MappedMemory(const MappedMemory&) = delete;
    MappedMemory& operator=(const MappedMemory&) = delete;
    ~MappedMemory();

    std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};
