#pragma once

#include "frame.h"

#include <functional>

// Runs `work` on this thread and on a helper thread at once, for encoders that take the
// frame's stripes in turns. The first to fail records the failure in the frame, so that the
// other stops waiting for stripes that will not come; that failure is rethrown here.
void runOnBothCores(Frame& frame, const std::function<void()>& work);
