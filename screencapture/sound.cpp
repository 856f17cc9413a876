#include "sound.h"

#include "failure.h"
#include "shared_library.h"

#include <atomic>
#include <canberra.h>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

// The libcanberra functions this tool calls, loaded on the sound's own thread.
struct Canberra {
    SharedLibrary library{"libcanberra.so.0"};
    LIBRARY_FUNCTION(contextCreate, ca_context_create);
    LIBRARY_FUNCTION(contextDestroy, ca_context_destroy);
    LIBRARY_FUNCTION(changeProps, ca_context_change_props);
    LIBRARY_FUNCTION(setDriver, ca_context_set_driver);
    LIBRARY_FUNCTION(open, ca_context_open);
    LIBRARY_FUNCTION(proplistCreate, ca_proplist_create);
    LIBRARY_FUNCTION(proplistDestroy, ca_proplist_destroy);
    LIBRARY_FUNCTION(proplistSets, ca_proplist_sets);
    LIBRARY_FUNCTION(playFull, ca_context_play_full);
};

// Longer than the sound, so that only a stuck sound server is cut short.
constexpr auto kLongestSound = std::chrono::seconds(5);
// How long the capture waits for the sound thread, from the moment the image is written.
constexpr auto kLongestWait = kLongestSound + std::chrono::seconds(1);

std::atomic<bool> g_leftBehind = false;

struct Playback {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
};

void onFinished(ca_context*, std::uint32_t, int, void* userdata)
{
    auto* playback = static_cast<Playback*>(userdata);
    std::lock_guard lock(playback->mutex);
    playback->done = true;
    playback->finished.notify_all();
}

void play(CaptureSound::State& state, Frame* frame);

} // namespace

// Shared by the capture and the sound thread, which may outlive the capture when the sound
// server hangs; the thread touches the frame only while the capture still waits for it.
struct CaptureSound::State {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool givenUp = false;
};

CaptureSound::CaptureSound(Frame& frame) : CaptureSound(&frame) {}

CaptureSound::CaptureSound() : CaptureSound(nullptr) {}

CaptureSound::CaptureSound(Frame* frame) : m_state(std::make_shared<State>())
{
    try {
        std::thread([state = m_state, frame] {
            try {
                play(*state, frame);
            } catch (...) {
                // No memory for the sound: silence, as without a sound server.
            }
            std::lock_guard lock(state->mutex);
            state->done = true;
            state->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        m_state->done = true; // no thread to be had for the sound: the capture goes on in silence
    }
}

CaptureSound::~CaptureSound()
{
    std::unique_lock lock(m_state->mutex);
    if (m_state->finished.wait_for(lock, kLongestWait, [this] { return m_state->done; }))
        return;
    m_state->givenUp = true;
    g_leftBehind = true;
}

bool CaptureSound::leftBehind()
{
    return g_leftBehind;
}

namespace {

void play(CaptureSound::State& state, Frame* frame)
{
    std::optional<Canberra> lib;
    try {
        lib.emplace();
    } catch (const Failure&) {
        return; // no sound library, no sound: the capture itself does not depend on it
    }
    ca_context* raw = nullptr;
    if (lib->contextCreate(&raw) != CA_SUCCESS)
        return;
    std::unique_ptr<ca_context, decltype(lib->contextDestroy)> context(raw, lib->contextDestroy);
    lib->changeProps(raw, CA_PROP_APPLICATION_NAME, "screencapture", CA_PROP_APPLICATION_ID,
                     "org.kestrelle.screencapture", nullptr);
    // Desktops play event sounds through a PulseAudio (or PipeWire) server; canberra's ALSA
    // fallback would print errors where there is no sound card, and silence is asked for then.
    lib->setDriver(raw, "pulse");
    // Connecting is what hangs when the sound server does not answer.
    lib->open(raw);
    {
        // The frame is complete or failed by the time the capture gives up on the sound, so this
        // wait is short then, and the capture's frame outlives it.
        std::lock_guard lock(state.mutex);
        if (state.givenUp)
            return;
        try {
            if (frame)
                frame->waitForAll();
        } catch (...) {
            return; // no capture, no sound; the failure is reported by the encoder
        }
    }
    ca_proplist* rawProps = nullptr;
    lib->proplistCreate(&rawProps);
    std::unique_ptr<ca_proplist, decltype(lib->proplistDestroy)> props(rawProps, lib->proplistDestroy);
    lib->proplistSets(rawProps, CA_PROP_EVENT_ID, "screen-capture");
    lib->proplistSets(rawProps, CA_PROP_EVENT_DESCRIPTION, "Screenshot taken");
    Playback playback;
    if (lib->playFull(raw, 1, rawProps, onFinished, &playback) != CA_SUCCESS)
        return;
    std::unique_lock lock(playback.mutex);
    playback.finished.wait_for(lock, kLongestSound, [&] { return playback.done; });
}

} // namespace
