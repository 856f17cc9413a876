#pragma once

#include "shared_memory.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <vector>

// The captured desktop as it streams from the grab to the encoders: 8-bit BGRX rows (the
// fourth byte undefined) in stripes of kStripeRows, held in a small ring of slots. The whole
// image never sits in memory: each slot is reused once its stripe is encoded, so a capture
// touches a few MiB of fresh memory whatever the desktop's size, and the first stripes are
// encoded while the last are still being grabbed. The slots are shared memory, so that the
// display server can write stripes straight into them.
class Frame {
public:
    // A multiple of 16: JPEG's largest block of rows, so that stripes split no block.
    static constexpr int kStripeRows = 16;

    Frame(int width, int height);
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }
    std::size_t stride() const { return std::size_t(m_width) * 4; }
    int stripes() const { return (m_height + kStripeRows - 1) / kStripeRows; }
    static int topOf(int stripe) { return stripe * kStripeRows; }
    int rowsOf(int stripe) const;

    // Producer side, one thread, stripes in order. Waits until the stripe's slot is free and
    // returns it (kStripeRows rows of stride() bytes); nullptr once the capture failed or the
    // readers gave up.
    std::uint8_t* beginStripe(int stripe);
    void publish(int stripe);
    // Either side: the capture cannot complete. The first failure is the one every reader
    // waiting or yet to wait rethrows, and the grab stops.
    void fail(std::exception_ptr failure);
    const SharedMemory& memory() const { return m_memory; }
    std::size_t offsetOf(int stripe) const { return slotBytes() * std::size_t(stripe % kSlots); }
    // How many stripes from `stripe` on, at most `most`, lie one after another in memory, so
    // that one request can fetch them together.
    int adjacentStripes(int stripe, int most) const;

    // Reader side, any number of threads; each stripe is released once, by the one reader
    // that took it. Waits until the stripe is grabbed and returns its first row; rethrows the
    // capture's failure. A reader may also read the row above the stripe (the last row of the
    // stripe before it): a slot is reused only once the stripe after it is released too.
    const std::uint8_t* waitForStripe(int stripe);
    void release(int stripe);
    void waitForAll();
    // Tells the grab that no reader will release another stripe.
    void abandon();

    // Enough for the grab to run ahead of two readers a JPEG band apart, with a few stripes in
    // flight.
    static constexpr int kSlots = 16;

private:
    bool slotFree(int stripe) const;

    std::size_t slotBytes() const { return stride() * kStripeRows; }
    void waitForGrab(std::unique_lock<std::mutex>& lock, int stripes);

    int m_width;
    int m_height;
    SharedMemory m_memory;
    std::mutex m_mutex;
    // Readers wait for stripes; the grab waits for a slot, and is woken only once that slot is
    // free, not at every stripe released.
    std::condition_variable m_grabbed;
    std::condition_variable m_freed;
    int m_grabWaitsFor = -1; // the stripe whose slot the grab waits for
    int m_published = 0;
    std::vector<bool> m_released;
    bool m_abandoned = false;
    std::exception_ptr m_failure;
};
