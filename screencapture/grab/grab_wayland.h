#pragma once

#include "grab/desktop_composer.h"
#include "grab/grabber.h"
#include "grab/wayland_shm_buffer.h"
#include "wayland_connection.h"
#include "wayland_object.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

KESTRELLE_WAYLAND_DESTROY(zwlr_screencopy_manager_v1, zwlr_screencopy_manager_v1_destroy);
KESTRELLE_WAYLAND_DESTROY(zwlr_screencopy_frame_v1, zwlr_screencopy_frame_v1_destroy);
KESTRELLE_WAYLAND_DESTROY(zxdg_output_manager_v1, zxdg_output_manager_v1_destroy);
KESTRELLE_WAYLAND_DESTROY(zxdg_output_v1, zxdg_output_v1_destroy);

// Grabs every output of a wlroots compositor (sway, say) through its screen copy protocol and
// composes them into one image of the whole desktop. Every output is asked for at once, as
// soon as the connection is made, so the compositor copies while the frame is prepared.
class GrabberWayland final : public Grabber {
public:
    // Connects to the compositor `display` names and, when it offers screen copy, asks for
    // every output; throws a Failure when the compositor cannot be reached or fails.
    explicit GrabberWayland(const char* display);
    GrabberWayland(const GrabberWayland&) = delete;
    GrabberWayland& operator=(const GrabberWayland&) = delete;

    bool offersScreencopy() const { return m_globals.screencopy != nullptr; }
    int width() const override { return m_layout.width; }
    int height() const override { return m_layout.height; }
    void grab(Frame& frame) override;

    // One output, what the compositor says of it, and its copy. Its address is handed to the
    // listeners, so it never moves.
    struct Output {
        WaylandObject<wl_output> output;
        WaylandObject<zxdg_output_v1> xdgOutput;
        WaylandObject<zwlr_screencopy_frame_v1> frame;
        std::string name;
        int x = 0, y = 0; // from wl_output, for compositors without xdg-output
        int scale = 1;
        int transform = WL_OUTPUT_TRANSFORM_NORMAL;
        bool hasLogical = false; // from xdg-output
        int logicalX = 0, logicalY = 0, logicalWidth = 0, logicalHeight = 0;
        bool offersShm = false;
        std::uint32_t shmFormat = 0, shmWidth = 0, shmHeight = 0, shmStride = 0;
        std::uint32_t flags = 0;
        enum class State { Copying, Ready, Failed } state = State::Copying;
        std::optional<WaylandShmBuffer> buffer;
    };

    // What the registry listener binds.
    struct Globals {
        WaylandObject<wl_shm> shm;
        WaylandObject<zwlr_screencopy_manager_v1> screencopy;
        WaylandObject<zxdg_output_manager_v1> xdgOutputs;
        std::vector<std::unique_ptr<Output>> outputs;
        bool complete = false; // outputs that appear later are left out of this capture
    };

private:
    void startCopies();
    void waitForCopies();
    std::vector<OutputCopy> copies() const;

    WaylandConnection m_connection; // goes last: every object below belongs to it
    WaylandObject<wl_registry> m_registry;
    Globals m_globals;
    std::vector<OutputCopy> m_copies; // the outputs as they were when their copies were asked for
    DesktopLayout m_layout;
};
