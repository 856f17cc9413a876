#pragma once

#include "frame.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Takes the whole desktop of one display system into a Frame.
class Grabber {
public:
    virtual ~Grabber() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;
    // The capture as the bytes of a PNG file, checked whole, where the desktop handed over one that
    // can be stored as it is; nothing otherwise, and the capture goes through grab() instead.
    virtual std::optional<std::vector<std::uint8_t>> wholePng() { return std::nullopt; }
    // Fills `frame` (sized width() x height()) from the top, publishing rows as they arrive.
    virtual void grab(Frame& frame) = 0;
    // The capture is stored: saved, or on the clipboard. What a grabber kept for a capture that
    // fails can go.
    virtual void captureStored() {}
};

// Connects to the desktop this process runs on; throws a Failure when none is reachable.
// `beforeAsking` runs before a desktop that involves its user is asked (the portal may show a
// dialog and leaves a file): a capture that could not be stored fails there, before any of that.
std::unique_ptr<Grabber> connectToDesktop(const std::function<void()>& beforeAsking = {});
