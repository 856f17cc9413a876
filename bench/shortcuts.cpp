// Times a global shortcut: the press goes to the X server as real input (XTEST) from a second
// connection, and the clock stops when the bound command has started and written to a FIFO.
//   shortcut-latency FIFO [PRESSES]         Kestrelle's binder starts "echo > FIFO" on each press
//   shortcut-latency --peer FIFO [PRESSES]  another program already holds Ctrl+Alt+B for that command
// Each run makes 5 warm-up presses first, then PRESSES (default 50).

#include "settings/SettingsStore.h"
#include "shortcuts/ShortcutBinder.h"
#include "shortcuts/ShortcutBinderFactory.h"
#include "system/Log.h"

#include <QGuiApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <unistd.h>
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
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
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
    // Another client holds the combination when our own grab of it fails.
    bool isHeldElsewhere(xcb_keycode_t keycode, uint16_t modifiers)
    {
        std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
            xcb_request_check(m_connection,
                              xcb_grab_key_checked(m_connection, false, m_root, modifiers, keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
            &std::free);
        if (error)
            return true;
        xcb_ungrab_key(m_connection, keycode, m_root, modifiers);
        xcb_flush(m_connection);
        return false;
    }

private:
    xcb_connection_t* m_connection;
    xcb_key_symbols_t* m_symbols;
    xcb_window_t m_root;
};

void report(const char* what, std::vector<double> millis)
{
    std::sort(millis.begin(), millis.end());
    const size_t middle = millis.size() / 2;
    const double median = millis.size() % 2 ? millis[middle] : (millis[middle - 1] + millis[middle]) / 2;
    std::printf("%-34s median %6.2f ms   min %6.2f ms   max %6.2f ms   (%zu presses)\n", what, median,
                millis.front(), millis.back(), millis.size());
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool peer = arguments.removeAll(QStringLiteral("--peer")) > 0;
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: shortcut-latency [--peer] FIFO [PRESSES]\n");
        return 2;
    }
    const QString fifo = arguments.value(0);
    const int presses = std::max(1, arguments.value(1, QStringLiteral("50")).toInt());
    constexpr int warmUp = 5;

    // Open for reading first and without blocking, so that each writer gets in at once.
    const int fifoFd = ::open(qPrintable(fifo), O_RDONLY | O_NONBLOCK);
    if (fifoFd < 0) {
        std::perror("shortcut-latency: FIFO");
        return 1;
    }
    const int keepOpen = ::open(qPrintable(fifo), O_WRONLY);

    Keyboard keyboard;
    const xcb_keycode_t control = keyboard.keycode(XKB_KEY_Control_L);
    const xcb_keycode_t alt = keyboard.keycode(XKB_KEY_Alt_L);
    const xcb_keycode_t key = keyboard.keycode(XKB_KEY_b);

    QTemporaryDir dir;
    StderrLines log;
    SettingsStore store(dir.filePath(QStringLiteral("Kestrelle.conf")), log);
    std::unique_ptr<ShortcutBinder> binder;
    std::vector<double> toAction;
    std::vector<double> toCommand;
    Clock::time_point pressed;
    int round = 0;
    const auto since = [&] {
        return std::chrono::duration<double, std::milli>(Clock::now() - pressed).count();
    };

    if (peer) {
        QDeadlineTimer deadline(5000);
        while (!keyboard.isHeldElsewhere(key, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1) &&
               !deadline.hasExpired())
            QThread::msleep(10);
        if (deadline.hasExpired()) {
            std::fprintf(stderr, "shortcut-latency: no other program holds Ctrl+Alt+B\n");
            return 1;
        }
    } else {
        store.setObject(QStringLiteral("Ctrl+Alt+B"), QStringLiteral("CaptureShortcut"));
        binder = makeShortcutBinder(store, log);
        binder->bindShortcutWithDefaultsKey(QStringLiteral("CaptureShortcut"), [&] {
            if (round >= warmUp)
                toAction.push_back(since());
            QProcess::startDetached(QStringLiteral("/bin/sh"),
                                    {QStringLiteral("-c"), "echo > '" + fifo + "'"});
        });
    }

    const auto pressNext = [&] {
        keyboard.send(XCB_KEY_PRESS, control);
        keyboard.send(XCB_KEY_PRESS, alt);
        pressed = Clock::now();
        keyboard.send(XCB_KEY_PRESS, key);
    };
    QSocketNotifier started(fifoFd, QSocketNotifier::Read);
    QObject::connect(&started, &QSocketNotifier::activated, [&] {
        char bytes[64];
        while (::read(fifoFd, bytes, sizeof bytes) > 0) {
        }
        if (round++ >= warmUp)
            toCommand.push_back(since());
        keyboard.send(XCB_KEY_RELEASE, key);
        keyboard.send(XCB_KEY_RELEASE, alt);
        keyboard.send(XCB_KEY_RELEASE, control);
        if (round == warmUp + presses) {
            QCoreApplication::quit();
            return;
        }
        // Apart by more than the server's millisecond clock, so that no press looks like auto-repeat.
        QTimer::singleShot(20, pressNext);
    });
    QTimer::singleShot(0, pressNext);
    QTimer::singleShot(std::chrono::seconds(10 + presses / 5), [] {
        std::fprintf(stderr, "shortcut-latency: the shortcut stopped answering\n");
        QCoreApplication::exit(1);
    });
    const int status = app.exec();
    ::close(keepOpen);
    ::close(fifoFd);
    if (status != 0)
        return status;
    if (!peer)
        report("key press to action", toAction);
    report("key press to command started", toCommand);
    return 0;
}
