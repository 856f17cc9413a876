#include "ProcessEnd.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

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
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] {
            m_notifier.setEnabled(false);
            m_ended();
            deleteLater();
        });
    }
    ~ProcessEndWatch() override { ::close(m_descriptor); }

private:
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
