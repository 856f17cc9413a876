#include "ui/DirectoryChooserFactory.h"

#include "system/Log.h"
#include "ui/FileDialogDirectoryChooser.h"
#include "ui/PortalDirectoryChooser.h"

#include <QCoreApplication>
#include <QDBusConnection>

namespace {

// Each chooser is a window, here or in the portal, and each can start a capture: a program on the session
// bus could otherwise open them without end. Well above what a person opens, or a hundred shortcut
// presses at once.
constexpr int kMostOpen = 128;

// Opens no chooser while kMostOpen are open; such a request is answered as a cancel.
class BoundedDirectoryChooser final : public DirectoryChooser {
public:
    BoundedDirectoryChooser(std::unique_ptr<DirectoryChooser> chooser, Log& log)
        : m_chooser(std::move(chooser)), m_log(log)
    {}

    void begin(const QString& prompt, Completion completion) override
    {
        if (*m_open >= kMostOpen) {
            if (!m_refusing)
                m_log.log(
                    QStringLiteral("%1 directory choosers are open, as many as Kestrelle opens at once; "
                                   "it opens no other until one has closed")
                        .arg(*m_open));
            m_refusing = true;
            QMetaObject::invokeMethod(
                qApp, [completion = std::move(completion)] { completion(kResponseCancel, QString()); },
                Qt::QueuedConnection);
            return;
        }
        m_refusing = false;
        ++*m_open;
        // Shared: a completion may run after this chooser is gone, at the program's end.
        m_chooser->begin(prompt, [open = m_open, completion = std::move(completion)](
                                     qint64 response, const QString& directory) {
            --*open;
            completion(response, directory);
        });
    }

private:
    std::unique_ptr<DirectoryChooser> m_chooser;
    Log& m_log;
    std::shared_ptr<int> m_open = std::make_shared<int>(0);
    bool m_refusing = false;
};

} // namespace

std::unique_ptr<DirectoryChooser> makeDirectoryChooser(Log& log)
{
    std::unique_ptr<DirectoryChooser> chooser = std::make_unique<FileDialogDirectoryChooser>();
    // Whether the portal has a chooser shows at the first capture, without a wait at start or at the menu.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected())
        chooser = std::make_unique<PortalDirectoryChooser>(bus, std::move(chooser), log);
    return std::make_unique<BoundedDirectoryChooser>(std::move(chooser), log);
}
