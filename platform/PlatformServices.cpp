#include "PlatformServices.h"

#include "portal/DesktopAppearance.h"
#include "shortcuts/ShortcutBinderFactory.h"
#include "ui/DirectoryChooserFactory.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace std::chrono_literals;

namespace {

// The desktop answers only for its appearance; a short timeout keeps a hung portal from delaying start.
std::optional<QString> desktopGlobalSetting(const QString& key)
{
    if (key == QLatin1String("AppleInterfaceStyle"))
        return desktopInterfaceStyle(250ms);
    return std::nullopt;
}

} // namespace

PlatformServices::PlatformServices()
    : m_log(QFileInfo(QCoreApplication::applicationFilePath()).fileName()),
      m_defaults(SettingsStore::standardFilePath(), m_log, desktopGlobalSetting),
      m_launcher(m_log, ProcessTaskLauncher::installedStandInFolders()),
      m_chooser(makeDirectoryChooser(m_log)), m_binder(makeShortcutBinder(m_defaults, m_log))
{}
