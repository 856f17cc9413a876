#include "clipboard/clipboard_server.h"

#include "clipboard/clipboard_wayland.h"
#include "clipboard/clipboard_x11.h"
#include "deadline.h"
#include "failure.h"
#include "wayland_session.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

void closeFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// What the server says before it closes its end; nothing when it has not by `deadline`.
std::optional<std::string> readAllBefore(int fd, std::chrono::steady_clock::time_point deadline)
{
    std::string text;
    char buffer[256];
    for (;;) {
        pollfd readable{fd, POLLIN, 0};
        const int ready = poll(&readable, 1, millisecondsUntil(deadline));
        if (ready == 0)
            return std::nullopt;
        if (ready < 0 && errno == EINTR)
            continue;
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(buffer, std::size_t(n));
    }
}

// Closes every descriptor but those in `kept` (where those are not -1).
void closeAllBut(std::vector<int> kept)
{
    std::sort(kept.begin(), kept.end());
    unsigned from = 0;
    for (int fd : kept) {
        if (fd < 0 || unsigned(fd) < from)
            continue;
        if (unsigned(fd) > from)
            close_range(from, unsigned(fd) - 1, 0);
        from = unsigned(fd) + 1;
    }
    close_range(from, ~0u, 0);
}

bool isSet(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && *value;
}

// What the server says once it is connected: it can take the clipboard.
constexpr char kConnected = '+';

// Waits for the image, takes the clipboard for it and serves it; never returns.
template <typename Server>
[[noreturn]] void serveImage(Server& server, int image, int command, int answer, int devNull)
{
    (void)!write(answer, &kConnected, 1);
    char go;
    ssize_t n;
    do
        n = read(command, &go, 1);
    while (n < 0 && errno == EINTR);
    if (n != 1)
        _exit(0); // the capture failed; there is nothing to serve

    struct stat status {};
    fstat(image, &status);
    void* png = mmap(nullptr, std::size_t(status.st_size), PROT_READ, MAP_SHARED, image, 0);
    if (png == MAP_FAILED)
        throw Failure("cannot map the image for the clipboard: " + errnoText(errno));
    server.take(static_cast<const std::uint8_t*>(png), std::size_t(status.st_size));
    (void)!write(answer, "", 1);
    close(answer);
    // Nobody reads our messages from here on, and an open pipe would keep the caller's
    // reader (a shell's $(...), say) waiting for as long as we serve.
    dup2(devNull, STDERR_FILENO);
    try {
        server.serve();
    } catch (...) {
        _exit(1); // the display server froze while serving, say: nobody is left to tell
    }
    _exit(0);
}

// The server's life, in the child process; it never returns into the caller's code.
[[noreturn]] void runServer(int image, int command, int answer)
{
    int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    // It may serve for hours: it must keep no folder in use (a drive could not be taken out) and
    // none of the caller's descriptors open (a reader of a pipe would wait for it).
    (void)!chdir("/");
    closeAllBut({STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO, devNull, image, command, answer});
    setsid();
    std::signal(SIGHUP, SIG_IGN);
    // A client that stops pasting half-way is a failed write, not the end of the server.
    std::signal(SIGPIPE, SIG_IGN);

    try {
        // Connect while the desktop is being grabbed.
        std::optional<std::string> waylandProblem;
        if (const char* display = waylandDisplay()) {
            std::optional<ClipboardServerWayland> wayland;
            try {
                wayland.emplace(display);
            } catch (const Failure& failure) {
                // Compositors without data-control (GNOME's, KDE's) share their clipboard with
                // the X clients of their XWayland.
                if (!isSet("DISPLAY"))
                    throw Failure(std::string(failure.what()) + " and there is no X display");
                waylandProblem = failure.what();
            }
            if (wayland)
                serveImage(*wayland, image, command, answer, devNull);
        }
        std::optional<ClipboardServerX11> x11;
        try {
            x11.emplace();
        } catch (const Failure& failure) {
            if (!waylandProblem)
                throw;
            throw Failure(*waylandProblem + "; " + failure.what()); // why neither clipboard is served
        }
        serveImage(*x11, image, command, answer, devNull);
    } catch (...) {
        // Whatever failed, a thread that could not start included, the caller says it.
        const std::string message = messageOf(std::current_exception());
        (void)!write(answer, message.data(), message.size());
        _exit(1);
    }
}

} // namespace

ClipboardServer::ClipboardServer()
{
    m_image = memfd_create("screencapture-clipboard", MFD_CLOEXEC);
    int command[2];
    int answer[2];
    if (m_image < 0 || pipe2(command, O_CLOEXEC) != 0)
        throw Failure("cannot prepare the clipboard: " + errnoText(errno));
    if (pipe2(answer, O_CLOEXEC) != 0) {
        close(command[0]);
        close(command[1]);
        throw Failure("cannot prepare the clipboard: " + errnoText(errno));
    }
    m_server = fork();
    if (m_server == 0) {
        close(command[1]);
        close(answer[0]);
        runServer(m_image, command[0], answer[1]);
    }
    int error = errno;
    close(command[0]);
    close(answer[1]);
    m_command = command[1];
    m_answer = answer[0];
    if (m_server < 0)
        throw Failure("cannot start the clipboard server: " + errnoText(error));
}

ClipboardServer::~ClipboardServer()
{
    closeFd(m_command);
    closeFd(m_answer);
    closeFd(m_image);
}

void ClipboardServer::awaitConnection()
{
    if (m_connected)
        return;
    const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
    char first = 0;
    ssize_t n = -1;
    while (n < 0) {
        pollfd readable{m_answer, POLLIN, 0};
        const int ready = poll(&readable, 1, millisecondsUntil(deadline));
        if (ready == 0)
            throw Failure("the clipboard server did not connect");
        if (ready > 0)
            n = read(m_answer, &first, 1);
        if (n < 0 && errno != EINTR)
            throw Failure("cannot hear from the clipboard server: " + errnoText(errno));
    }
    if (n == 1 && first == kConnected) {
        m_connected = true;
        return;
    }
    // A server that cannot connect says why and ends.
    const std::string why =
        std::string(std::size_t(n), first) + readAllBefore(m_answer, deadline).value_or("");
    throw Failure(why.empty() ? "the clipboard server ended without connecting" : why);
}

void ClipboardServer::offer()
{
    const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
    const bool sent = write(m_command, "!", 1) == 1;
    const int error = errno;
    closeFd(m_command);
    // A server that failed has said why before it ended, and so before our write found it gone.
    std::optional<std::string> said = readAllBefore(m_answer, deadline);
    if (!said) {
        // Left alone, it would take the clipboard whenever the display server wakes, for nobody.
        kill(m_server, SIGKILL);
        waitpid(m_server, nullptr, 0);
        throw Failure("the clipboard server did not answer");
    }
    std::string& answer = *said;
    if (!m_connected && !answer.empty() && answer.front() == kConnected)
        answer.erase(0, 1);
    if (answer == std::string(1, '\0'))
        return;
    if (!answer.empty())
        throw Failure(answer);
    if (!sent)
        throw Failure("the clipboard server is gone: " + errnoText(error));
    throw Failure("the clipboard server ended without taking the clipboard");
}
