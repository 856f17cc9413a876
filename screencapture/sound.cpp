#include "sound.h"

#include <canberra.h>
#include <chrono>
#include <memory>

namespace {

struct DestroyContext {
    void operator()(ca_context* context) const { ca_context_destroy(context); }
};

// Longer than the sound, so that only a stuck sound server is cut short.
constexpr auto kLongestSound = std::chrono::seconds(5);

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

} // namespace

CaptureSound::CaptureSound(Frame& frame) : m_thread([this, &frame] { play(frame); }) {}

void CaptureSound::play(Frame& frame)
{
    ca_context* raw = nullptr;
    if (ca_context_create(&raw) != CA_SUCCESS)
        return;
    std::unique_ptr<ca_context, DestroyContext> context(raw);
    ca_context_change_props(raw, CA_PROP_APPLICATION_NAME, "screencapture", CA_PROP_APPLICATION_ID,
                            "org.kestrelle.screencapture", nullptr);
    // Desktops play event sounds through a PulseAudio (or PipeWire) server; canberra's ALSA
    // fallback would print errors where there is no sound card, and silence is asked for then.
    ca_context_set_driver(raw, "pulse");
    ca_context_open(raw);
    try {
        frame.waitForAll();
    } catch (...) {
        return; // no capture, no sound; the failure is reported by the encoder
    }
    ca_proplist* rawProps = nullptr;
    ca_proplist_create(&rawProps);
    std::unique_ptr<ca_proplist, int (*)(ca_proplist*)> props(rawProps, ca_proplist_destroy);
    ca_proplist_sets(rawProps, CA_PROP_EVENT_ID, "screen-capture");
    ca_proplist_sets(rawProps, CA_PROP_EVENT_DESCRIPTION, "Screenshot taken");
    Playback playback;
    if (ca_context_play_full(raw, 1, rawProps, onFinished, &playback) != CA_SUCCESS)
        return;
    std::unique_lock lock(playback.mutex);
    playback.finished.wait_for(lock, kLongestSound, [&] { return playback.done; });
}
