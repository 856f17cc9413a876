#pragma once

#include <QString>
#include <QVariantMap>

// The version of the running operating system.
struct OperatingSystemVersion {
    qint64 majorVersion = 0;
    qint64 minorVersion = 0;
    qint64 patchVersion = 0;
    friend bool operator==(const OperatingSystemVersion&, const OperatingSystemVersion&) = default;
};

// The application as the desktop sees it.
class Application {
public:
    virtual ~Application() = default;
    // Brings the application's windows to the front, even while another application is active.
    virtual void activate() = 0;
    virtual void terminate() = 0;
    // The application's information dictionary ("CFBundleShortVersionString", ...).
    virtual QVariantMap infoDictionary() const = 0;
    virtual OperatingSystemVersion operatingSystemVersion() const = 0;
    // The running system's family as people call it: "macOS", "Linux", "FreeBSD".
    virtual QString operatingSystemName() const = 0;
};
