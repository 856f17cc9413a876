#include "Windows.h"

#include <QEvent>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace {

constexpr char kTransparentTitlebar[] = "titlebarAppearsTransparent";
constexpr char kKeptOutOfCaptures[] = "keptOutOfCaptures";
constexpr char kOffScreenForCapture[] = "offScreenForCapture";

// Watches the window and the widgets in it until the first use; Qt drops the filter as it is destroyed.
class UseWatcher final : public QObject {
public:
    UseWatcher(QWidget& window, QObject& context, std::function<void()> used)
        : QObject(&context), m_window(window), m_used(std::move(used))
    {
        window.installEventFilter(this);
        const auto children = window.findChildren<QWidget*>();
        for (QWidget* child : children)
            child->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_used && isUse(watched, event->type()))
            std::exchange(m_used, nullptr)();
        return false;
    }

private:
    bool isUse(const QObject* watched, QEvent::Type type) const
    {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::KeyPress:
            return true;
        case QEvent::Close:
            return watched == &m_window;
        // The window manager places a window before it is exposed, and again each time it is shown.
        case QEvent::Move:
            return watched == &m_window && m_window.windowHandle() && m_window.windowHandle()->isExposed();
        default:
            return false;
        }
    }

    QWidget& m_window;
    std::function<void()> m_used;
};

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

void whenUsed(QWidget& window, QObject& context, std::function<void()> used)
{
    new UseWatcher(window, context, std::move(used));
}

void closeWindow(QWidget& window)
{
    setOffScreenForCapture(window, false);
    window.close();
}

void setOffScreenForCapture(QWidget& window, bool off)
{
    window.setProperty(kOffScreenForCapture, off);
}

bool offScreenForCapture(const QWidget& window)
{
    return window.property(kOffScreenForCapture).toBool();
}
