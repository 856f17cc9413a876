#include "byte_sink.h"

#include "failure.h"

#include <cerrno>
#include <unistd.h>

void ByteSink::write(const void* data, std::size_t size)
{
    if (int error = writeAll(data, size))
        fail(error);
}

int ByteSink::writeAll(const void* data, std::size_t size) noexcept
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
    }
    return 0;
}

void ByteSink::fail(int error) const
{
    throw Failure("cannot write '" + m_name + "': " + errnoText(error));
}
