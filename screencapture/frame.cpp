#include "frame.h"

Frame::Frame(int width, int height)
    : m_width(width), m_height(height), m_pixels(std::size_t(width) * 4 * std::size_t(height))
{}

void Frame::publish(int rows)
{
    m_ready.store(rows, std::memory_order_release);
    m_ready.notify_all();
}

void Frame::fail(std::exception_ptr failure)
{
    m_failure = std::move(failure);
    m_ready.store(kFailed, std::memory_order_release);
    m_ready.notify_all();
}

int Frame::waitForRows(int rows) const
{
    for (;;) {
        int ready = m_ready.load(std::memory_order_acquire);
        if (ready == kFailed)
            std::rethrow_exception(m_failure);
        if (ready >= rows)
            return ready;
        m_ready.wait(ready, std::memory_order_acquire);
    }
}
