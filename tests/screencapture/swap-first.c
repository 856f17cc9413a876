// Preloaded into the capture tool to move another file onto a name at a chosen moment: just before
// the tool's main thread first calls SWAP_AT (fdatasync, rename, or unlink: unlink or unlinkat),
// SWAP_FROM is renamed to SWAP_TO. With SWAP_FAIL set, that call then fails with EIO instead of
// being made.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

// Whether this call is the moment: the first of SWAP_AT on the main thread (the sound's thread may
// call anything). Does the swap then.
static int swapNow(const char* function)
{
    static int done;
    const char* at = getenv("SWAP_AT");
    if (done || !at || strcmp(at, function) != 0 || gettid() != getpid())
        return 0;
    done = 1;
    const char* from = getenv("SWAP_FROM");
    const char* to = getenv("SWAP_TO");
    if (from && to && rename(from, to) != 0)
        perror("swap-first: rename");
    return 1;
}

static int failed(void)
{
    errno = EIO;
    return -1;
}

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

int fdatasync(int fd)
{
    if (swapNow("fdatasync") && getenv("SWAP_FAIL"))
        return failed();
    return REAL(fdatasync)(fd);
}

int unlink(const char* path)
{
    if (swapNow("unlink") && getenv("SWAP_FAIL"))
        return failed();
    return REAL(unlink)(path);
}

int unlinkat(int folder, const char* path, int flags)
{
    if (swapNow("unlink") && getenv("SWAP_FAIL"))
        return failed();
    return REAL(unlinkat)(folder, path, flags);
}

int rename(const char* from, const char* to)
{
    // The swap's own rename comes back here, and goes straight through.
    if (swapNow("rename") && getenv("SWAP_FAIL"))
        return failed();
    return REAL(rename)(from, to);
}
