#include "AppDelegate.h"

#include "SettingsKeys.h"
#include "settings/SettingsStore.h"

AppDelegate::AppDelegate(const Platform& platform, QObject* parent)
    : QObject(parent), m_platform(platform), m_menu(std::make_unique<QMenu>()),
      m_statusItem(std::make_unique<QSystemTrayIcon>()), m_defaults(platform.standardUserDefaults),
      m_appVersion(platform.application.infoDictionary().value(QStringLiteral("CFBundleShortVersionString"))),
      m_interfaceStyleSetting(platform.standardUserDefaults.stringForKey(kAppleInterfaceStyleKey)),
      m_systemVersion(platform.application.operatingSystemVersion()),
      kPreferenceDesktopCaptureShortcut(QStringLiteral("CaptureShortcut")),
      kPreferenceDesktopCaptureClipboardShortcut(QStringLiteral("CaptureClipboardShortcut"))
{}

AppDelegate::~AppDelegate() = default;
