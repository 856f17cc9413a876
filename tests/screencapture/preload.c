// Preloaded into the capture tool (lib.sh's preload). SLOW_READS_US: each recv or recvmsg waits that long
// first, so a peer that sends without end always has more waiting. SWAP_AT (fdatasync, rename, or unlink
// for unlinkat too): just before the main thread's first such call, SWAP_FROM is renamed to SWAP_TO; with
// SWAP_FAIL, that call then fails with EIO instead.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

// The swap's own rename comes back here and goes through; the sound's thread may call anything.
static int swapFails(const char* function)
{
    static int done;
    const char* at = getenv("SWAP_AT");
    if (done || !at || strcmp(at, function) != 0 || gettid() != getpid())
        return 0;
    done = 1;
    if (rename(getenv("SWAP_FROM"), getenv("SWAP_TO")) != 0)
        perror("preload: rename");
    return getenv("SWAP_FAIL") != NULL;
}
#define SWAPPED(moment, name, ...) (swapFails(moment) ? (errno = EIO, -1) : REAL(name)(__VA_ARGS__))

int fdatasync(int fd)
{
    return SWAPPED("fdatasync", fdatasync, fd);
}
int unlink(const char* path)
{
    return SWAPPED("unlink", unlink, path);
}
int unlinkat(int folder, const char* path, int flags)
{
    return SWAPPED("unlink", unlinkat, folder, path, flags);
}
int rename(const char* from, const char* to)
{
    return SWAPPED("rename", rename, from, to);
}

static void slowly(void)
{
    const char* wait = getenv("SLOW_READS_US");
    if (wait)
        usleep((useconds_t)atoi(wait));
}
ssize_t recv(int fd, void* buffer, size_t size, int flags)
{
    return slowly(), REAL(recv)(fd, buffer, size, flags);
}
ssize_t recvmsg(int fd, struct msghdr* message, int flags)
{
    return slowly(), REAL(recvmsg)(fd, message, flags);
}
