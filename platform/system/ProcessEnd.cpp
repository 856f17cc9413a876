#include "ProcessEnd.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// How often a process is looked at where it cannot be watched through a descriptor.
constexpr auto kPoll = 50ms;

// Gone, or ended and not yet reaped: a detached process is reaped by whoever adopted it, if anyone does.
bool hasEnded(pid_t pid)
{
    // EPERM: the number belongs to another user's process by now.
    if (::kill(pid, 0) != 0)
        return true;
    char stat[256] = {};
    const int file = ::open(QByteArray("/proc/" + QByteArray::number(pid) + "/stat").constData(), O_RDONLY);
    if (file < 0)
        return false;
    const ssize_t length = ::read(file, stat, sizeof stat - 1);
    ::close(file);
    // The state follows the command's name in parentheses, which may hold any character.
    const QByteArray fields(stat, qMax<ssize_t>(length, 0));
    const qsizetype state = fields.lastIndexOf(") ") + 2;
    return state >= 2 && fields.mid(state, 1) == "Z";
}

// A process descriptor turns readable when its process ends, whoever its parent is. Without one (a
// kernel without them, or no descriptor left to open) the process is looked at every kPoll: ending the
// watch at once would show the windows kept out of captures in the middle of one.
class ProcessEndWatch final : public QObject {
public:
    // Through syscall(): this C library's header declares pidfd_open without C linkage.
    ProcessEndWatch(pid_t pid, QObject& context, std::function<void()> ended)
        : QObject(&context), m_pid(pid), m_descriptor(int(::syscall(SYS_pidfd_open, pid, 0))),
          m_ended(std::move(ended))
    {
        if (m_descriptor >= 0) {
            m_notifier.emplace(m_descriptor, QSocketNotifier::Read);
            connect(&*m_notifier, &QSocketNotifier::activated, this, &ProcessEndWatch::report);
            return;
        }
        connect(&m_poll, &QTimer::timeout, this, &ProcessEndWatch::reportIfEnded);
        m_poll.start(kPoll);
    }
    ~ProcessEndWatch() override
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }

    void reportIfEnded()
    {
        pollfd descriptor{.fd = m_descriptor, .events = POLLIN, .revents = 0};
        if (m_descriptor >= 0 ? ::poll(&descriptor, 1, 0) > 0 : hasEnded(m_pid))
            report();
    }

private:
    void report()
    {
        if (!m_ended)
            return;
        std::exchange(m_ended, nullptr)();
        deleteLater();
    }

    const pid_t m_pid;
    const int m_descriptor;
    std::optional<QSocketNotifier> m_notifier;
    QTimer m_poll;
    std::function<void()> m_ended;
};

} // namespace

void whenProcessEnds(qint64 pid, QObject& context, std::function<void()> ended)
{
    // Owned by context until it has reported the end.
    new ProcessEndWatch(pid_t(pid), context, std::move(ended));
}

void reportEndedProcesses(QObject& context)
{
    // A copy: a report may show windows, and each watch leaves the list when it has reported.
    const QObjectList children = context.children();
    for (QObject* child : children) {
        if (auto* watch = dynamic_cast<ProcessEndWatch*>(child))
            watch->reportIfEnded();
    }
}
