#include "notification.h"

#include "sd_bus.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
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

// One method call on the bus and its answer, waited for until the deadline, the bus's own
// authentication included.
class Call {
public:
    Call(const SdBus& lib, sd_bus* bus, Clock::time_point deadline)
        : m_lib(lib), m_bus(bus), m_deadline(deadline), m_reply(nullptr, {lib.messageUnref})
    {}

    // The reply; null for an error, no answer in time, or a call that could not be made.
    sd_bus_message* send(sd_bus_message* call)
    {
        sd_bus_slot* rawSlot = nullptr;
        if (m_lib.callAsync(m_bus, &rawSlot, call, onReply, this, microsecondsUntil(m_deadline)) < 0)
            return nullptr;
        const Owned<sd_bus_slot> slot(rawSlot, {m_lib.slotUnref});
        while (!m_answered) {
            const int r = m_lib.process(m_bus, nullptr);
            if (r < 0)
                return nullptr;
            if (r > 0)
                continue;
            const std::uint64_t left = microsecondsUntil(m_deadline);
            if (left == 0 || m_lib.wait(m_bus, left) < 0)
                return nullptr;
        }
        return m_reply.get();
    }

private:
    static int onReply(sd_bus_message* reply, void* userdata, sd_bus_error*)
    {
        auto& self = *static_cast<Call*>(userdata);
        self.m_answered = true;
        if (!self.m_lib.isMethodError(reply, nullptr))
            self.m_reply.reset(self.m_lib.messageRef(reply));
        return 0;
    }

    const SdBus& m_lib;
    sd_bus* m_bus;
    Clock::time_point m_deadline;
    bool m_answered = false;
    Owned<sd_bus_message> m_reply;
};

// Whether the service reads the body as markup; nothing when no service answers.
std::optional<bool> takesMarkup(const SdBus& lib, sd_bus* bus, Clock::time_point deadline)
{
    sd_bus_message* rawCall = nullptr;
    const int r = lib.newMethodCall(bus, &rawCall, kService, kPath, kInterface, "GetCapabilities");
    const Owned<sd_bus_message> call(rawCall, {lib.messageUnref});
    if (r < 0)
        return std::nullopt;
    Call getCapabilities(lib, bus, deadline);
    sd_bus_message* reply = getCapabilities.send(rawCall);
    if (!reply)
        return std::nullopt;
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
    const std::string body = *markup ? escapedMarkup(message) : message;

    sd_bus_message* rawCall = nullptr;
    int r = lib.newMethodCall(rawBus, &rawCall, kService, kPath, kInterface, "Notify");
    const Owned<sd_bus_message> call(rawCall, {lib.messageUnref});
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the service's).
    if (r >= 0)
        r = lib.append(rawCall, "susssasa{sv}i", "Kestrelle", std::uint32_t(0), KESTRELLE_APP_ID, summary,
                       body.c_str(), 0, 1, "desktop-entry", "s", KESTRELLE_APP_ID, std::int32_t(-1));
    if (r < 0)
        return;
    Call(lib, rawBus, deadline).send(rawCall);
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
