#include "Windows.h"

#include <QVariant>
#include <QWidget>

namespace {
constexpr char kTransparentTitlebar[] = "titlebarAppearsTransparent";
}

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
