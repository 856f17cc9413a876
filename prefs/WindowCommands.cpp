#include "AppDelegate.h"
#include "ui/Windows.h"

void AppDelegate::bringWindowToFront(const QPointer<QWidget>& outlet)
{
    // Activation comes first, even when there is no window to show.
    m_platform.application.activate();
    if (const QPointer<QWidget> window = outlet)
        makeKeyAndOrderFront(*window);
}

void AppDelegate::openShortcutsWindow()
{
    bringWindowToFront(m_shortcutsWindow);
}

void AppDelegate::openPrefsWindow()
{
    bringWindowToFront(m_prefsWindow);
}

void AppDelegate::openAboutWindow()
{
    bringWindowToFront(m_window);
}
