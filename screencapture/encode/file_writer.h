#pragma once

#include <cstddef>
#include <string>

// Where an encoder writes: an open file descriptor, named in messages by `name`.
class FileWriter {
public:
    enum class Writeback { Later, Early };

    FileWriter(int fd, std::string name, Writeback writeback = Writeback::Later)
        : m_fd(fd), m_name(std::move(name)), m_writeback(writeback)
    {}

    int fd() const { return m_fd; }
    const std::string& name() const { return m_name; }
    // Writes everything or throws a Failure naming the file.
    void write(const void* data, std::size_t size);
    // Writes everything; returns 0, or the errno of the failure, for callers inside C libraries.
    int writeAll(const void* data, std::size_t size) noexcept;
    [[noreturn]] void fail(int error) const;

private:
    void startWriteback() noexcept;

    int m_fd;
    std::string m_name;
    // Early: the disk starts writing while the image is still being encoded, so that the flush
    // that makes the file durable at the end has little left to wait for.
    Writeback m_writeback;
    std::size_t m_written = 0;
    std::size_t m_writtenBack = 0;
};
