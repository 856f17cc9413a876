// The stripe ring between the grab and the encoders, without a display: stripes arrive intact and
// in place while slots are reused, readers may look at the row above, and a failure on either side
// stops everyone rather than leaving a thread waiting. And the grab's check that the server's image
// holds the rows asked for.
#include "check.h"
#include "encode/run_on_both_cores.h"
#include "failure.h"
#include "frame.h"
#include "grab/grab_x11.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <initializer_list>
#include <string>
#include <thread>

namespace {

// Every row is filled with its own number (modulo a prime, which no ring size divides), so that a
// row in the wrong place or overwritten too early shows.
int mark(int y)
{
    return y % 251;
}

// Returns the number of stripes published.
int produce(Frame& frame, int failAt = -1)
{
    for (int s = 0; s < frame.stripes(); ++s) {
        if (s == failAt) {
            frame.fail(std::make_exception_ptr(Failure("grab failed")));
            return s;
        }
        std::uint8_t* slot = frame.beginStripe(s);
        if (!slot)
            return s;
        for (int r = 0; r < frame.rowsOf(s); ++r)
            std::memset(slot + frame.stride() * std::size_t(r), mark(Frame::topOf(s) + r), frame.stride());
        frame.publish(s);
    }
    return frame.stripes();
}

bool rowIs(const Frame& frame, const std::uint8_t* row, int y)
{
    for (std::size_t i = 0; i < frame.stride(); ++i) {
        if (row[i] != mark(y))
            return false;
    }
    return true;
}

void streamsThroughTheRing()
{
    std::atomic<bool> intact{true};
    for (int round = 0; round < 20 && intact; ++round) {
        Frame frame(33, 1000); // many more stripes than slots, the last one short
        std::jthread grab([&] { produce(frame); });
        std::atomic<int> next{0};
        runOnBothCores(frame, [&] {
            for (int s; (s = next++) < frame.stripes();) {
                const std::uint8_t* pixels = frame.waitForStripe(s);
                for (int r = 0; r < frame.rowsOf(s); ++r)
                    intact =
                        intact && rowIs(frame, pixels + frame.stride() * std::size_t(r), Frame::topOf(s) + r);
                // Slow now and then, so that the other reader and the grab run far ahead.
                if (s % 5 == 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                if (s > 0)
                    intact =
                        intact &&
                        rowIs(frame, frame.waitForStripe(s - 1) + frame.stride() * (Frame::kStripeRows - 1),
                              Frame::topOf(s) - 1);
                frame.release(s);
            }
        });
        frame.waitForAll();
    }
    check(intact, "every row arrives intact, with the row above, through reused slots");
}

// A grab the readers left must stop short of the last stripe within seconds, not wait for a slot
// forever. One still waiting cannot be joined: the test ends here.
void checkGrabStops(std::future<int>& grab, const Frame& frame, const char* what)
{
    if (grab.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        std::printf("FAIL - %s: the grab still waits\n", what);
        std::fflush(stdout);
        std::_Exit(1);
    }
    check(grab.get() < frame.stripes(), what);
}

void failuresStopEveryone()
{
    {
        Frame frame(8, 1000);
        std::future<int> grab = std::async(std::launch::async, [&] { return produce(frame); });
        std::atomic<int> next{0};
        std::string reported;
        try {
            runOnBothCores(frame, [&] {
                for (int s; (s = next++) < frame.stripes();) {
                    frame.waitForStripe(s);
                    if (s == 5) {
                        // Only once the grab has filled every slot it can: it waits for this stripe's.
                        frame.waitForStripe(s + Frame::kSlots - 2);
                        throw Failure("disk full");
                    }
                    frame.release(s);
                }
            });
        } catch (const Failure& failure) {
            reported = failure.what();
        }
        check(reported == "disk full", "a reader's failure is the one reported, and the other reader stops");
        checkGrabStops(grab, frame, "the grab stops when a reader fails");
    }
    {
        Frame frame(8, 1000); // nobody reads: the ring fills up
        std::future<int> grab = std::async(std::launch::async, [&] { return produce(frame); });
        frame.waitForStripe(Frame::kSlots - 1);
        frame.abandon();
        checkGrabStops(grab, frame, "abandoning the frame frees a grab waiting for slots");
    }
    Frame frame(8, 1000);
    std::jthread grab([&] { produce(frame, 20); });
    std::string seen;
    try {
        for (int s = 0; s < frame.stripes(); ++s) {
            frame.waitForStripe(s);
            frame.release(s);
        }
    } catch (const Failure& failure) {
        seen = failure.what();
    }
    check(seen == "grab failed", "a reader waiting for a stripe gets the grab's failure");
}

// A GetImage reply holds the rows asked for, each padded as the server's pixmap format says; one
// that holds less is refused before its rows are read.
void imageRepliesHoldTheirRows()
{
    struct Case {
        std::size_t length;
        int width, rows, bitsPerPixel, scanlinePad;
        long stride; // -1: refused
        const char* what;
    };
    for (const Case& c : std::initializer_list<Case>{
             {8 * 16, 3, 16, 16, 32, 8, "16-bit rows padded to 32 bits"},
             {9 * 5, 3, 5, 24, 8, 9, "24-bit rows padded to bytes"},
             {400 * 16 + 64, 100, 16, 32, 32, 400, "bytes beyond the last row change no row's place"},
             {8 * 16 - 1, 3, 16, 16, 32, -1, "a reply a byte short is refused"},
             {6 * 16, 3, 16, 16, 32, -1, "rows without their padding are refused"},
             {0, 800, 64, 32, 32, -1, "an empty reply is refused"},
         }) {
        long stride = -1;
        try {
            stride = long(checkedImageStride(c.length, c.width, c.rows, c.bitsPerPixel, c.scanlinePad));
        } catch (const Failure&) {
        }
        check(stride == c.stride, c.what);
    }
}

} // namespace

int main()
{
    streamsThroughTheRing();
    failuresStopEveryone();
    imageRepliesHoldTheirRows();
    return finish();
}
