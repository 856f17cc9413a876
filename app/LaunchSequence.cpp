#include "AppDelegate.h"
#include "Commands.h"
#include "SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "shortcuts/ShortcutBinder.h"
#include "system/Log.h"
#include "tray/StatusItem.h"
#include "ui/Appearance.h"
#include "ui/Windows.h"

#include <QAction>

namespace {

Qt::CheckState checkState(bool on)
{
    return on ? Qt::Checked : Qt::Unchecked;
}

} // namespace

void AppDelegate::applicationDidFinishLaunching()
{
    if (const QPointer<ShortcutRecorder> recorder = m_captureDesktopSCV)
        recorder->setAssociatedUserDefaultsKey(kPreferenceDesktopCaptureShortcut);
    if (const QPointer<ShortcutRecorder> recorder = m_captureDesktopClipboardSCV)
        recorder->setAssociatedUserDefaultsKey(kPreferenceDesktopCaptureClipboardShortcut);

    // The bindings last as long as the program; a press after the delegate is gone does nothing.
    const QPointer<AppDelegate> self(this);
    m_platform.sharedBinder.bindShortcutWithDefaultsKey(kPreferenceDesktopCaptureShortcut, [self] {
        if (self)
            self->captureDesktop();
    });
    m_platform.sharedBinder.bindShortcutWithDefaultsKey(kPreferenceDesktopCaptureClipboardShortcut, [self] {
        if (self)
            self->captureToClipboard();
    });
    if (!m_platform.sharedBinder.firesShortcuts())
        offerDesktopShortcutCommands();
    else
        connect(&m_platform.sharedBinder, &ShortcutBinder::refusedByDesktop, this,
                &AppDelegate::offerDesktopShortcutCommands);

    for (const QPointer<QWidget>& outlet : {m_window, m_prefsWindow, m_shortcutsWindow}) {
        if (const QPointer<QWidget> window = outlet)
            setTitlebarAppearsTransparent(*window);
    }

    // Only the presence of a style counts, never its text.
    const AppearanceName looks =
        m_interfaceStyleSetting ? AppearanceName::VibrantDark : AppearanceName::VibrantLight;
    for (const QPointer<QWidget>& outlet : {m_aboutVisualView, m_prefsVisualView, m_shortcutVisualView}) {
        if (const QPointer<QWidget> view = outlet)
            setAppearance(*view, appearanceNamed(looks));
    }

    if (const QPointer<QLabel> label = m_nameText)
        label->setText(nameTextForSystem());
    if (const QPointer<QLabel> label = m_versionText)
        label->setText(versionTextForApp());

    m_statusItem->setIcon(imageNamed(QStringLiteral("StatusBarButtonImage")));
    QIcon image = m_statusItem->icon();
    if (!image.isNull()) {
        image.setIsMask(true);
        m_statusItem->setIcon(image);
    }
    m_statusItem->setToolTip(QStringLiteral("Kestrelle"));

    buildStatusMenu();
    showStatusItem(*m_statusItem, *m_menu);
    if (!statusItemInTray(*m_statusItem))
        m_platform.log.log(
            QStringLiteral("No system tray is running; the Kestrelle icon will appear when one "
                           "starts"));

    // Showing the stored settings says nothing of their types: the first-run line is the launch's only
    // one.
    const auto silent = SettingsStore::WrongType::Silent;
    const bool openInPreview = m_defaults.boolForKey(kOpenInPreviewKey, silent);
    if (const QPointer<QCheckBox> box = m_openInPreviewBtn)
        box->setCheckState(checkState(openInPreview));
    const bool playSound = m_defaults.boolForKey(kPlaySoundAfterScreenshotKey, silent);
    if (const QPointer<QCheckBox> box = m_playSoundBtn)
        box->setCheckState(checkState(playSound));

    // First run: the file-type pair is stored once; any value under the index, of any type, counts.
    if (!m_defaults.objectForKey(kScreenshotFileTypeIndexKey)) {
        m_platform.log.log(QStringLiteral("Error: No value set for screenshotFileTypeIndex. Setting now..."));
        m_defaults.setObjects(
            {{kScreenshotFileTypeIndexKey, qint64(0)}, {kScreenshotFileTypeKey, QStringLiteral("png")}});
    }

    if (const QPointer<QComboBox> picker = m_fileTypePicker)
        picker->setCurrentIndex(int(m_defaults.integerForKey(kScreenshotFileTypeIndexKey, silent)));
}

void AppDelegate::buildStatusMenu()
{
    for (const Command& command : statusMenuCommands()) {
        if (!command.title) {
            m_menu->addSeparator();
            continue;
        }
        QAction* item = m_menu->addAction(titleOf(command));
        connect(item, &QAction::triggered, this, command.action);
    }
}

QString AppDelegate::nameTextForSystem() const
{
    const QString system = m_platform.application.operatingSystemName();
    // The desktop was called OS X up to 10.11; only the minor number tells.
    const QString name = system != QLatin1String("macOS")    ? system
                         : m_systemVersion.minorVersion > 11 ? QStringLiteral("macOS")
                                                             : QStringLiteral("OS X");
    //: The About window's heading; %1 is the operating system: Linux, FreeBSD.
    return tr("Kestrelle for %1").arg(name);
}

QString AppDelegate::versionTextForApp() const
{
    const QString version = m_appVersion.toString();
    //: The About window's version line; %1 is the version number, such as 0.1.0.
    return tr("Version %1").arg(version.isEmpty() ? tr("unknown", "version") : version);
}

void AppDelegate::quit()
{
    m_platform.application.terminate();
}

void AppDelegate::applicationWillTerminate() {}
