// Preloaded into the capture tool to make it read its sockets slowly: each recv or recvmsg waits
// SLOW_READS_US microseconds first. A peer that sends without end then always has more waiting for
// the tool, however fast the machine.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

static void slowly(void)
{
    const char* wait = getenv("SLOW_READS_US");
    if (wait)
        usleep((useconds_t)atoi(wait));
}

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

ssize_t recv(int fd, void* buffer, size_t size, int flags)
{
    slowly();
    return REAL(recv)(fd, buffer, size, flags);
}

ssize_t recvmsg(int fd, struct msghdr* message, int flags)
{
    slowly();
    return REAL(recvmsg)(fd, message, flags);
}
