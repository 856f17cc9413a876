#include "ProcessEnd.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// A process descriptor turns readable when its process ends, whoever its parent is.
class ProcessEndWatch final : public QObject {
public:
    ProcessEndWatch(int descriptor, QObject& context, std::function<void()> ended)
        : QObject(&context), m_descriptor(descriptor), m_notifier(descriptor, QSocketNotifier::Read),
          m_ended(std::move(ended))
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &ProcessEndWatch::report);
    }
    ~ProcessEndWatch() override { ::close(m_descriptor); }

    void reportIfEnded()
    {
        pollfd descriptor{.fd = m_descriptor, .events = POLLIN, .revents = 0};
        if (::poll(&descriptor, 1, 0) > 0)
            report();
    }

private:
    void report()
    {
        if (!m_notifier.isEnabled())
            return;
        m_notifier.setEnabled(false);
        m_ended();
        deleteLater();
    }

    const int m_descriptor;
    QSocketNotifier m_notifier;
    std::function<void()> m_ended;
};

} // namespace

void whenProcessEnds(qint64 pid, QObject& context, std::function<void()> ended)
{
    // Through syscall(): this C library's header declares pidfd_open without C linkage.
    const int descriptor = int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
    if (descriptor < 0) {
        // Gone already, or a kernel without process descriptors.
        QTimer::singleShot(0, &context, std::move(ended));
        return;
    }
    // Owned by context until it has reported the end.
    new ProcessEndWatch(descriptor, context, std::move(ended));
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
