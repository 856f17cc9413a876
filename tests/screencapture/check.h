// How the capture tool's unit tests report: "ok - WHAT" or "FAIL - WHAT" for every check, so that
// one run shows every fault, then the count; the program fails if any check did.
#pragma once

#include <cstdio>

inline int failures = 0;

inline bool check(bool ok, const char* what)
{
    std::printf("%s - %s\n", ok ? "ok" : "FAIL", what);
    failures += !ok;
    return ok;
}

inline int finish()
{
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
