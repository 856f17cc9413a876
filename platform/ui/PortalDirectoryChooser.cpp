#include "ui/PortalDirectoryChooser.h"

#include "portal/DesktopPortal.h"
#include "portal/PortalRequest.h"
#include "system/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>

#include <optional>

namespace {

// Where the portal's chooser puts the chosen folder: the first of its "uris", a file URL for a folder
// on this machine. Anything else names no folder: "file:-c" or "file:shots" would reach the capture tool
// as an option or as a path relative to our working folder, and another host's folder is not ours to
// write to.
std::optional<QString> chosenDirectory(const QString& uri)
{
    const QUrl url(uri);
    if (!url.isValid() || !url.isLocalFile() || !url.host().isEmpty())
        return std::nullopt;
    const QString path = url.toLocalFile();
    if (!QDir::isAbsolutePath(path) || path.contains(QChar(0)))
        return std::nullopt;
    // cleanPath leaves no trailing separator but on the root, which stays "/".
    return QDir::cleanPath(path);
}

} // namespace

PortalDirectoryChooser::PortalDirectoryChooser(const QDBusConnection& bus,
                                               std::unique_ptr<DirectoryChooser> fallback, Log& log)
    : m_bus(bus), m_fallback(std::move(fallback)), m_log(log)
{}

void PortalDirectoryChooser::begin(const QString& prompt, Completion completion)
{
    if (m_portalRefused) {
        m_fallback->begin(prompt, std::move(completion));
        return;
    }
    const QVariantMap options{
        {QStringLiteral("accept_label"), prompt},
        {QStringLiteral("directory"), true},
        // Not bound to any window of ours, and never blocking the menu or another chooser.
        {QStringLiteral("modal"), false},
    };
    // No parent window: the program has none that the chooser belongs to.
    auto* request = new PortalRequest(m_bus, desktopPortal::fileChooserInterface, QStringLiteral("OpenFile"),
                                      {QString(),
                                       //: The title of the desktop's folder chooser window.
                                       QCoreApplication::translate("DirectoryChooser", "Save Screenshot")},
                                      options, &m_requests);
    QObject::connect(request, &PortalRequest::answered, request,
                     [this, request, completion](uint response, const QVariantMap& results) {
                         request->deleteLater();
                         answered(response, results, completion);
                     });
    QObject::connect(request, &PortalRequest::failed, request,
                     [this, request, prompt, completion](const QString& error) {
                         request->deleteLater();
                         // Asked once and refused: a portal that answers later would still leave a
                         // capture without a chooser now, so Kestrelle keeps its own from here on.
                         if (!m_portalRefused) {
                             m_portalRefused = true;
                             m_log.log(QStringLiteral("The desktop portal offers no folder chooser (%1); "
                                                      "Kestrelle uses its own")
                                           .arg(error));
                         }
                         m_fallback->begin(prompt, completion);
                     });
}

void PortalDirectoryChooser::answered(uint response, const QVariantMap& results, const Completion& completion)
{
    // 1 is a cancel; 2 is a chooser closed any other way, its window's close button included.
    if (response != 0) {
        completion(kResponseCancel, QString());
        return;
    }
    const QStringList uris = results.value(QStringLiteral("uris")).toStringList();
    if (uris.isEmpty()) {
        completeConfirmed(completion, QString());
        return;
    }
    const std::optional<QString> directory = chosenDirectory(uris.constFirst());
    if (!directory) {
        m_log.log(QStringLiteral("The folder chooser answered \"%1\", which is no folder on this machine; no "
                                 "screenshot was taken")
                      .arg(uris.constFirst()));
        completion(kResponseCancel, QString());
        return;
    }
    completeConfirmed(completion, *directory);
}
