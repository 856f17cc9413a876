#include "wayland_session.h"

#include <cstdlib>
#include <cstring>

const char* waylandDisplay()
{
    const char* type = std::getenv("XDG_SESSION_TYPE");
    if (type && std::strcmp(type, "x11") == 0)
        return nullptr;
    const char* display = std::getenv("WAYLAND_DISPLAY");
    return display && *display ? display : nullptr;
}
