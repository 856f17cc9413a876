#include "frame.h"

#include "failure.h"

#include <algorithm>

Frame::Frame(int width, int height)
    : m_width(width), m_height(height),
      m_memory(std::size_t(width) * 4 * kStripeRows * std::size_t(std::min(kSlots, stripes()))),
      m_released(std::size_t(stripes()), false)
{}

int Frame::rowsOf(int stripe) const
{
    return std::min(kStripeRows, m_height - topOf(stripe));
}

std::uint8_t* Frame::beginStripe(int stripe)
{
    std::unique_lock lock(m_mutex);
    m_grabWaitsFor = stripe;
    m_freed.wait(lock, [&] { return m_failure || m_abandoned || slotFree(stripe); });
    m_grabWaitsFor = -1;
    return m_failure || m_abandoned ? nullptr : m_memory.data() + offsetOf(stripe);
}

int Frame::adjacentStripes(int stripe, int most) const
{
    return std::min({most, kSlots - stripe % kSlots, stripes() - stripe});
}

bool Frame::slotFree(int stripe) const
{
    const int previous = stripe - kSlots;
    return previous < 0 || (m_released[std::size_t(previous)] && m_released[std::size_t(previous + 1)]);
}

void Frame::publish(int stripe)
{
    {
        std::lock_guard lock(m_mutex);
        m_published = stripe + 1;
    }
    m_grabbed.notify_all();
}

void Frame::fail(std::exception_ptr failure)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_failure)
            m_failure = std::move(failure);
    }
    m_grabbed.notify_all();
    m_freed.notify_all();
}

void Frame::waitForGrab(std::unique_lock<std::mutex>& lock, int stripes)
{
    m_grabbed.wait(lock, [&] { return m_failure || m_abandoned || m_published >= stripes; });
    if (m_failure)
        std::rethrow_exception(m_failure);
    if (m_published < stripes)
        throw Failure("the capture was abandoned");
}

const std::uint8_t* Frame::waitForStripe(int stripe)
{
    std::unique_lock lock(m_mutex);
    waitForGrab(lock, stripe + 1);
    return m_memory.data() + offsetOf(stripe);
}

void Frame::release(int stripe)
{
    bool freesAwaitedSlot = false;
    {
        std::lock_guard lock(m_mutex);
        m_released[std::size_t(stripe)] = true;
        freesAwaitedSlot = m_grabWaitsFor >= 0 && slotFree(m_grabWaitsFor);
    }
    if (freesAwaitedSlot)
        m_freed.notify_one();
}

void Frame::waitForAll()
{
    std::unique_lock lock(m_mutex);
    waitForGrab(lock, stripes());
}

void Frame::abandon()
{
    {
        std::lock_guard lock(m_mutex);
        m_abandoned = true;
    }
    m_grabbed.notify_all();
    m_freed.notify_all();
}
