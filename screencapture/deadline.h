#pragma once

#include <chrono>

// The milliseconds left until `deadline`, rounded up so that a wait of that long does not end
// just short of it; 0 once it has passed. For poll() and the waits of the libraries.
inline int millisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}
