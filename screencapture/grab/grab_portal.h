#pragma once

#include "grab/grabber.h"

#include <memory>

// The desktop portal's Screenshot request, for Wayland compositors that offer no screen copy
// protocol of their own; throws a Failure when the portal cannot take the screenshot.
std::unique_ptr<Grabber> connectToPortal();
