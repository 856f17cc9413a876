// Times a global shortcut from the key press to its action: the press is sent to the X server as
// real input (XTEST) from a second connection, and the clock stops when the bound action runs.
//   shortcut-latency [PRESSES]      (default 50, after 5 warm-up presses)

#include "Log.h"
#include "SettingsStore.h"
#include "ShortcutBinder.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace {

using Clock = std::chrono::steady_clock;

class StderrLines final : public Log {
public:
    void log(const QString& message) override { std::fprintf(stderr, "%s\n", qPrintable(message)); }
};

// The second X client that plays the keyboard.
class Keyboard {
public:
    Keyboard() : m_connection(xcb_connect(nullptr, nullptr)), m_symbols(xcb_key_symbols_alloc(m_connection))
    {}
    ~Keyboard()
    {
        xcb_key_symbols_free(m_symbols);
        xcb_disconnect(m_connection);
    }
    xcb_keycode_t keycode(xcb_keysym_t keysym)
    {
        xcb_keycode_t* keycodes = xcb_key_symbols_get_keycode(m_symbols, keysym);
        const xcb_keycode_t first = keycodes ? keycodes[0] : 0;
        std::free(keycodes);
        return first;
    }
    void send(uint8_t type, xcb_keycode_t keycode)
    {
        xcb_test_fake_input(m_connection, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(m_connection);
    }

private:
    xcb_connection_t* m_connection;
    xcb_key_symbols_t* m_symbols;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    constexpr int warmUp = 5;

    QTemporaryDir dir;
    StderrLines log;
    SettingsStore store(dir.filePath(QStringLiteral("Kestrelle.conf")), log);
    store.setObject(QStringLiteral("Ctrl+Alt+B"), QStringLiteral("CaptureShortcut"));
    const auto binder = makeShortcutBinder(store, log);

    Keyboard keyboard;
    const xcb_keycode_t control = keyboard.keycode(XKB_KEY_Control_L);
    const xcb_keycode_t alt = keyboard.keycode(XKB_KEY_Alt_L);
    const xcb_keycode_t key = keyboard.keycode(XKB_KEY_b);

    std::vector<double> millis;
    Clock::time_point pressed;
    int round = 0;
    const auto pressNext = [&] {
        keyboard.send(XCB_KEY_PRESS, control);
        keyboard.send(XCB_KEY_PRESS, alt);
        pressed = Clock::now();
        keyboard.send(XCB_KEY_PRESS, key);
    };
    binder->bindShortcutWithDefaultsKey(QStringLiteral("CaptureShortcut"), [&] {
        const auto took = std::chrono::duration<double, std::milli>(Clock::now() - pressed).count();
        if (round++ >= warmUp)
            millis.push_back(took);
        keyboard.send(XCB_KEY_RELEASE, key);
        keyboard.send(XCB_KEY_RELEASE, alt);
        keyboard.send(XCB_KEY_RELEASE, control);
        if (round == warmUp + presses) {
            QCoreApplication::quit();
            return;
        }
        // Apart by more than the server's millisecond clock, so no press looks like auto-repeat.
        QTimer::singleShot(20, pressNext);
    });
    QTimer::singleShot(0, pressNext);
    QTimer::singleShot(std::chrono::seconds(10 + presses / 10), [] {
        std::fprintf(stderr, "shortcut-latency: the shortcut stopped answering\n");
        QCoreApplication::exit(1);
    });
    if (app.exec() != 0)
        return 1;
    std::printf("key press to action: median %.2f ms, min %.2f ms, max %.2f ms over %d presses\n",
                median(millis), *std::min_element(millis.begin(), millis.end()),
                *std::max_element(millis.begin(), millis.end()), presses);
    return 0;
}
