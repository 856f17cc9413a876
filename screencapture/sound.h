#pragma once

#include "frame.h"

#include <memory>

// Plays the desktop's "screen-capture" sound once the frame is grabbed. The sound system is
// prepared on a thread of its own, so neither its start-up nor the playing delays the capture;
// without a sound server it stays silent.
class CaptureSound {
public:
    explicit CaptureSound(Frame& frame);
    // For a capture whose picture is already whole: plays at once.
    CaptureSound();
    CaptureSound(const CaptureSound&) = delete;
    CaptureSound& operator=(const CaptureSound&) = delete;
    // Waits, a few seconds at most, for the sound to finish: ending the process would cut it.
    // A sound server that does not answer in that time is left behind (see leftBehind()).
    ~CaptureSound();

    // Whether a sound thread is still inside the sound library: the process must then end with
    // _exit, since the library's exit handlers would run under that thread's feet.
    static bool leftBehind();

    struct State;

private:
    explicit CaptureSound(Frame* frame);

    std::shared_ptr<State> m_state;
};
