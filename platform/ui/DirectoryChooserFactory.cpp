#include "ui/DirectoryChooserFactory.h"

#include "ui/FileDialogDirectoryChooser.h"
#include "ui/PortalDirectoryChooser.h"

#include <QDBusConnection>

std::unique_ptr<DirectoryChooser> makeDirectoryChooser(Log& log)
{
    auto own = std::make_unique<FileDialogDirectoryChooser>();
    // Whether the portal has a chooser shows at the first capture, without a wait at start or at the menu.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return own;
    return std::make_unique<PortalDirectoryChooser>(bus, std::move(own), log);
}
