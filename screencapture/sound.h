#pragma once

#include "frame.h"

#include <condition_variable>
#include <mutex>
#include <thread>

// Plays the desktop's "screen-capture" sound once the frame is grabbed. The sound system is
// prepared on a thread of its own, so neither its start-up nor the playing delays the capture;
// without a sound server it stays silent.
class CaptureSound {
public:
    explicit CaptureSound(Frame& frame);
    CaptureSound(const CaptureSound&) = delete;
    CaptureSound& operator=(const CaptureSound&) = delete;
    // Waits, a few seconds at most, for the sound to finish: ending the process would cut it.
    ~CaptureSound() = default;

private:
    void play(Frame& frame);

    std::jthread m_thread;
};
