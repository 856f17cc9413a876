#pragma once

#include <cstddef>
#include <string>

// Where an encoder writes: an open file descriptor, named in messages by `name`.
class ByteSink {
public:
    ByteSink(int fd, std::string name) : m_fd(fd), m_name(std::move(name)) {}

    int fd() const { return m_fd; }
    const std::string& name() const { return m_name; }
    // Writes everything or throws a Failure naming the file.
    void write(const void* data, std::size_t size);
    // Writes everything; returns 0, or the errno of the failure, for callers inside C libraries.
    int writeAll(const void* data, std::size_t size) noexcept;
    [[noreturn]] void fail(int error) const;

private:
    int m_fd;
    std::string m_name;
};
