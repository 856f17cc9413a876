#include "Windows.h"

#include <QVariant>
#include <QWidget>

namespace {
constexpr char kTransparentTitlebar[] = "titlebarAppearsTransparent";
constexpr char kKeptOutOfCaptures[] = "keptOutOfCaptures";
} // namespace

void setTitlebarAppearsTransparent(QWidget& window)
{
    window.setProperty(kTransparentTitlebar, true);
}

bool titlebarAppearsTransparent(const QWidget& window)
{
    return window.property(kTransparentTitlebar).toBool();
}

void makeKeyAndOrderFront(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

void keepOutOfCaptures(QWidget& window)
{
    window.setProperty(kKeptOutOfCaptures, true);
}

bool keptOutOfCaptures(const QWidget& window)
{
    return window.property(kKeptOutOfCaptures).toBool();
}
