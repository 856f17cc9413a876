#include "notification.h"

#include "messages.h"
#include "sd_bus.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <optional>
#include <string_view>

#ifndef KESTRELLE_APP_ID
#error "KESTRELLE_APP_ID names the desktop entry and icon that the notification shows"
#endif

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
// A notification service that the bus starts on demand answers within this; one that hangs costs no more.
constexpr auto kAnswerTime = std::chrono::milliseconds(2000);

using Clock = std::chrono::steady_clock;

// Whether the service reads the body as markup; nothing when no service answers.
std::optional<bool> takesMarkup(const SdBus& lib, sd_bus* bus, Clock::time_point deadline)
{
    sd_bus_message* rawCall = nullptr;
    const int r = lib.newMethodCall(bus, &rawCall, kService, kPath, kInterface, "GetCapabilities");
    const Owned<sd_bus_message> call(rawCall, {lib.messageUnref});
    if (r < 0)
        return std::nullopt;
    MethodCall getCapabilities(lib, bus);
    if (getCapabilities.send(rawCall, deadline) < 0 || getCapabilities.error())
        return std::nullopt;
    sd_bus_message* reply = getCapabilities.reply();
    if (lib.enter(reply, 'a', "s") <= 0)
        return false;
    const char* capability = nullptr;
    while (lib.read(reply, "s", &capability) > 0) {
        if (std::string_view(capability) == "body-markup")
            return true;
    }
    return false;
}

// The body as text that a markup-reading service shows as it is: a folder may be named "Tom & Jerry".
std::string escapedMarkup(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

void notify(const char* summary, const std::string& message)
{
    const SdBus lib;
    const auto deadline = Clock::now() + kAnswerTime;
    sd_bus* rawBus = nullptr;
    const int opened = lib.openUser(&rawBus);
    const Owned<sd_bus> bus(rawBus, {lib.closeUnref});
    if (opened < 0)
        return;
    const std::optional<bool> markup = takesMarkup(lib, rawBus, deadline);
    if (!markup)
        return;
    // D-Bus carries only valid UTF-8, and a folder's name need not be.
    const std::string text = validUtf8(message);
    const std::string body = *markup ? escapedMarkup(text) : text;

    sd_bus_message* rawCall = nullptr;
    int r = lib.newMethodCall(rawBus, &rawCall, kService, kPath, kInterface, "Notify");
    const Owned<sd_bus_message> call(rawCall, {lib.messageUnref});
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the service's).
    if (r >= 0)
        r = lib.append(rawCall, "susssasa{sv}i", "Kestrelle", std::uint32_t(0), KESTRELLE_APP_ID, summary,
                       body.c_str(), 0, 1, "desktop-entry", "s", KESTRELLE_APP_ID, std::int32_t(-1));
    if (r < 0)
        return;
    MethodCall(lib, rawBus).send(rawCall, deadline);
}

} // namespace

void notifyFailure(const char* summary, const std::string& message)
{
    // The capture has failed already and said so on stderr; a notification that cannot be shown
    // adds no second failure.
    try {
        notify(summary, message);
    } catch (const std::exception&) {
    }
}
