#include "grab.h"

#include "failure.h"
#include "grab_x11.h"

#include <cstdlib>

std::unique_ptr<Grabber> connectToDesktop()
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        throw Failure("no X display to capture: DISPLAY is not set");
    return std::make_unique<GrabberX11>(display);
}
