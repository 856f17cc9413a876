#pragma once
// One class split by concern: app/ (making, launch), capture/ (captures), prefs/ (preferences, windows).

#include "Platform.h"
#include "application/Application.h"
#include "application/NamedAction.h"
#include "shortcuts/ShortcutRecorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QVariant>
#include <QWidget>

#include <memory>
#include <optional>

class SettingsStore;

// The one application object: every behaviour of the program is one of its methods. The interface
// loader sets the outlets by name; menu items, controls and shortcuts reach the slots.
class AppDelegate : public QObject {
    Q_OBJECT
    // Outlets: weak references to what the interface file made. Each use takes a local copy and skips
    // its step when the object is gone.
    Q_PROPERTY(QWidget* window READ window WRITE setWindow)
    Q_PROPERTY(QWidget* prefsWindow READ prefsWindow WRITE setPrefsWindow)
    Q_PROPERTY(QWidget* shortcutsWindow READ shortcutsWindow WRITE setShortcutsWindow)
    Q_PROPERTY(QLabel* nameText READ nameText WRITE setNameText)
    Q_PROPERTY(QLabel* versionText READ versionText WRITE setVersionText)
    Q_PROPERTY(ShortcutRecorder* captureDesktopSCV READ captureDesktopSCV WRITE setCaptureDesktopSCV)
    Q_PROPERTY(ShortcutRecorder* captureDesktopClipboardSCV READ captureDesktopClipboardSCV WRITE
                   setCaptureDesktopClipboardSCV)
    Q_PROPERTY(QWidget* shortcutVisualView READ shortcutVisualView WRITE setShortcutVisualView)
    Q_PROPERTY(QWidget* prefsVisualView READ prefsVisualView WRITE setPrefsVisualView)
    Q_PROPERTY(QWidget* aboutVisualView READ aboutVisualView WRITE setAboutVisualView)
    Q_PROPERTY(QCheckBox* openInPreviewBtn READ openInPreviewBtn WRITE setOpenInPreviewBtn)
    Q_PROPERTY(QCheckBox* playSoundBtn READ playSoundBtn WRITE setPlaySoundBtn)
    Q_PROPERTY(QComboBox* fileTypePicker READ fileTypePicker WRITE setFileTypePicker)

public:
    // Takes its snapshot of the environment; writes nothing to the settings store.
    explicit AppDelegate(const Platform& platform, QObject* parent = nullptr);
    ~AppDelegate() override;

    QWidget* window() const { return m_window; }
    void setWindow(QWidget* value) { m_window = value; }
    QWidget* prefsWindow() const { return m_prefsWindow; }
    void setPrefsWindow(QWidget* value) { m_prefsWindow = value; }
    QWidget* shortcutsWindow() const { return m_shortcutsWindow; }
    void setShortcutsWindow(QWidget* value) { m_shortcutsWindow = value; }
    QLabel* nameText() const { return m_nameText; }
    void setNameText(QLabel* value) { m_nameText = value; }
    QLabel* versionText() const { return m_versionText; }
    void setVersionText(QLabel* value) { m_versionText = value; }
    ShortcutRecorder* captureDesktopSCV() const { return m_captureDesktopSCV; }
    void setCaptureDesktopSCV(ShortcutRecorder* value) { m_captureDesktopSCV = value; }
    ShortcutRecorder* captureDesktopClipboardSCV() const { return m_captureDesktopClipboardSCV; }
    void setCaptureDesktopClipboardSCV(ShortcutRecorder* value) { m_captureDesktopClipboardSCV = value; }
    QWidget* shortcutVisualView() const { return m_shortcutVisualView; }
    void setShortcutVisualView(QWidget* value) { m_shortcutVisualView = value; }
    QWidget* prefsVisualView() const { return m_prefsVisualView; }
    void setPrefsVisualView(QWidget* value) { m_prefsVisualView = value; }
    QWidget* aboutVisualView() const { return m_aboutVisualView; }
    void setAboutVisualView(QWidget* value) { m_aboutVisualView = value; }
    QCheckBox* openInPreviewBtn() const { return m_openInPreviewBtn; }
    void setOpenInPreviewBtn(QCheckBox* value) { m_openInPreviewBtn = value; }
    QCheckBox* playSoundBtn() const { return m_playSoundBtn; }
    void setPlaySoundBtn(QCheckBox* value) { m_playSoundBtn = value; }
    QComboBox* fileTypePicker() const { return m_fileTypePicker; }
    void setFileTypePicker(QComboBox* value) { m_fileTypePicker = value; }

    // The status menu's commands by name, as the command line and the desktop ask for them.
    static NamedActions namedActions();
    // Runs the command of that name as its menu entry does; false, and nothing done, for a name that
    // is none.
    bool performAction(const QString& name);

public slots:
    // Start and stop: the launch sequence dresses the windows and the status item, binds the
    // shortcuts and sets the preference controls from the store.
    void applicationDidFinishLaunching();
    void quit();
    void applicationWillTerminate();
    // The program was started again or the desktop activated it: where no tray shows the icon, a small
    // window offers the menu's commands.
    void applicationShouldHandleReopen();
    // A start without a command: the same window where no tray shows the icon, but only until a tray
    // does, unless the person has used the window meanwhile.
    void applicationDidStartWithoutRequest();

    // Preference controls: each logs its change and stores it at once. The sender is not looked at.
    void fileType(QObject* sender);
    void openInPreview(QObject* sender);
    void playSoundAfterScreenshot(QObject* sender);

    // Window commands: activate the application, then bring the window to the front.
    void openShortcutsWindow();
    void openPrefsWindow();
    void openAboutWindow();

    // Capture: the whole desktop to a file in a directory the user picks, or to the clipboard.
    void captureDesktop();
    void captureToClipboard();

private:
    void buildStatusMenu();
    std::unique_ptr<QWidget> makeCommandsWindow();
    void openCommandsWindow();
    // The window of commands stays where it is, whatever a tray does from now on.
    void keepCommandsWindow();
    // Where global shortcuts never fire, or the desktop refused them, the shortcuts window shows the
    // commands to bind in the desktop's own keyboard settings instead of recorders.
    void offerDesktopShortcutCommands();
    void bringWindowToFront(const QPointer<QWidget>& window);
    QString nameTextForSystem() const;
    QString versionTextForApp() const;

    friend class AppDelegateTest;
    friend class LaunchSequenceTest;
    friend class CommandsTest;

    QPointer<QWidget> m_window;
    QPointer<QWidget> m_prefsWindow;
    QPointer<QWidget> m_shortcutsWindow;
    QPointer<QLabel> m_nameText;
    QPointer<QLabel> m_versionText;
    QPointer<ShortcutRecorder> m_captureDesktopSCV;
    QPointer<ShortcutRecorder> m_captureDesktopClipboardSCV;
    QPointer<QWidget> m_shortcutVisualView;
    QPointer<QWidget> m_prefsVisualView;
    QPointer<QWidget> m_aboutVisualView;
    QPointer<QCheckBox> m_openInPreviewBtn;
    QPointer<QCheckBox> m_playSoundBtn;
    QPointer<QComboBox> m_fileTypePicker;

    const Platform m_platform;
    // The menu is declared first so that it outlives the status item that shows it.
    const std::unique_ptr<QMenu> m_menu;
    const std::unique_ptr<QSystemTrayIcon> m_statusItem;
    SettingsStore& m_defaults;
    const QVariant m_appVersion;
    const std::optional<QString> m_interfaceStyleSetting;
    const OperatingSystemVersion m_systemVersion;
    std::unique_ptr<QWidget> m_commandsWindow;
    // While it lives, the window of commands closes once a tray shows the icon.
    std::unique_ptr<QObject> m_commandsWindowUntilInTray;
    const QString kPreferenceDesktopCaptureShortcut;
    const QString kPreferenceDesktopCaptureClipboardShortcut;
};
