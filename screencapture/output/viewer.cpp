#include "output/viewer.h"

#include "failure.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>

extern char** environ;

void openInViewer(const std::string& path)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own session, so the viewer outlives this process and whatever started it. Every signal
    // is the viewer's to handle, at its default and unblocked: those this tool ignores for its own
    // writes, and those whatever started the tool ignored or blocked (a shell's background job,
    // nohup).
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    const char* program = "xdg-open";
    char* const argv[] = {const_cast<char*>(program), const_cast<char*>(path.c_str()), nullptr};
    pid_t pid;
    int error = posix_spawnp(&pid, program, &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error)
        throw Failure("saved '" + path + "' but cannot open it: " + program + ": " + errnoText(error));
}
