// Preloaded into the capture tool to give it the file system of an sshfs or SMB mount: no
// unnamed files, no renames that refuse to replace, no hard links.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <unistd.h>

int open(const char* path, int flags, ...)
{
    static int (*real)(const char*, int, ...);
    if (!real)
        real = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    va_list args;
    va_start(args, flags);
    mode_t mode = va_arg(args, mode_t);
    va_end(args);
    return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) __attribute__((alias("open")));

int renameat2(int, const char*, int, const char*, unsigned)
{
    errno = EINVAL;
    return -1;
}

int link(const char*, const char*)
{
    errno = EPERM;
    return -1;
}

int linkat(int, const char*, int, const char*, int)
{
    errno = EPERM;
    return -1;
}
