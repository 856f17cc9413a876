#include "grab/grabber.h"

#include "failure.h"
#include "grab/grab_portal.h"
#include "grab/grab_wayland.h"
#include "grab/grab_x11.h"
#include "wayland_session.h"

#include <cstdlib>

std::unique_ptr<Grabber> connectToDesktop(const std::function<void()>& beforeAsking)
{
    // A Wayland session is captured through its compositor, never through an X server beside
    // it (Xwayland sees only X clients' windows).
    if (const char* wayland = waylandDisplay()) {
        auto grabber = std::make_unique<GrabberWayland>(wayland);
        if (grabber->offersScreencopy())
            return grabber;
        grabber.reset();
        if (beforeAsking)
            beforeAsking();
        return connectToPortal();
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        throw Failure("no X display to capture: DISPLAY is not set");
    return std::make_unique<GrabberX11>(display);
}
