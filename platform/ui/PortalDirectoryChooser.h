#pragma once

#include "ui/DirectoryChooser.h"

#include <QDBusConnection>
#include <QObject>

#include <memory>

class Log;

// The desktop's own folder chooser, through the desktop portal's FileChooser: each begin() asks the
// portal for one non-modal chooser, so several can be open at once. Where the portal cannot be asked
// (no portal, or one without a FileChooser), that request and every later one go to the fallback.
class PortalDirectoryChooser final : public DirectoryChooser {
public:
    PortalDirectoryChooser(const QDBusConnection& bus, std::unique_ptr<DirectoryChooser> fallback, Log& log);
    void begin(const QString& prompt, Completion completion) override;

private:
    void answered(uint response, const QVariantMap& results, const Completion& completion);

    QDBusConnection m_bus;
    std::unique_ptr<DirectoryChooser> m_fallback;
    Log& m_log;
    bool m_portalRefused = false;
    // Parent of the requests still waiting for their answer.
    QObject m_requests;
};
