#include "grab/portal_screenshot.h"

#include "failure.h"
#include "grab/file_uri.h"
#include "sd_bus.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/random.h>
#include <utility>
#include <vector>

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
// Long enough for a first-time permission dialog to be answered; a capture never hangs.
constexpr auto kAnswerTime = std::chrono::seconds(60);

using Clock = std::chrono::steady_clock;

// Request.Response(u response, a{sv} results): the code, and the "uri" result.
struct Response {
    std::uint32_t code = 2;
    std::optional<std::string> uri;
};

// Where an answer comes from: the portal's unique name and the request object.
struct Origin {
    std::string sender, path;
    bool operator==(const Origin&) const = default;
};

// The answers to this process's requests, one of which is ours. The bus hands over a signal
// addressed to us whatever the match says, so each is checked against the portal's reply.
struct Answers {
    const SdBus* lib = nullptr;
    std::optional<Origin> expected;                 // once the portal's reply has named our request object
    std::vector<std::pair<Origin, Response>> early; // answers that came before that
    std::optional<Response> ours;
};

Response readResponse(const SdBus& lib, sd_bus_message* message)
{
    Response response;
    if (lib.read(message, "u", &response.code) < 0) {
        response.code = 2;
        return response;
    }
    if (lib.enter(message, 'a', "{sv}") <= 0)
        return response;
    while (lib.enter(message, 'e', "sv") > 0) {
        const char* key = nullptr;
        const char* value = nullptr;
        if (lib.read(message, "s", &key) < 0)
            return response;
        if (std::strcmp(key, "uri") == 0 && lib.read(message, "v", "s", &value) >= 0)
            response.uri = value;
        else if (lib.skip(message, "v") < 0)
            return response;
        lib.exit(message);
    }
    return response;
}

int onResponse(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    auto& answers = *static_cast<Answers*>(userdata);
    const char* sender = answers.lib->sender(message);
    const char* path = answers.lib->path(message);
    if (!sender || !path || answers.ours)
        return 0;
    const Origin origin{sender, path};
    if (!answers.expected)
        answers.early.emplace_back(origin, readResponse(*answers.lib, message));
    else if (origin == *answers.expected)
        answers.ours = readResponse(*answers.lib, message);
    return 0;
}

// Unguessable, as the portal asks, and a valid object path element.
std::string newToken()
{
    unsigned char bytes[8] = {};
    if (getrandom(bytes, sizeof bytes, 0) != sizeof bytes) {
        const auto now = Clock::now().time_since_epoch().count();
        std::memcpy(bytes, &now, sizeof bytes);
    }
    std::string token = "kestrelle_";
    for (unsigned char b : bytes)
        token += "0123456789abcdef"[b >> 4], token += "0123456789abcdef"[b & 15];
    return token;
}

// Where the portal puts the caller's request objects: under its unique name without ':' and with
// '_' for '.'. Each is named by the caller's token, unless that name is taken.
std::string requestFolder(std::string sender)
{
    sender.erase(0, 1);
    for (char& c : sender) {
        if (c == '.')
            c = '_';
    }
    return std::string(kPortalPath) + "/request/" + sender;
}

std::string callFailure(const sd_bus_error* error, int result)
{
    const std::string name = error && error->name ? error->name : "";
    const auto is = [&](const char* suffix) {
        return name == std::string("org.freedesktop.DBus.Error.") + suffix;
    };
    if (is("ServiceUnknown") || is("NameHasNoOwner"))
        return "no desktop portal on the session bus (org.freedesktop.portal.Desktop) to take the screenshot";
    if (is("UnknownMethod") || is("UnknownInterface") || is("UnknownObject"))
        return "the desktop portal offers no screenshots (org.freedesktop.portal.Screenshot)";
    if (is("NoReply") || result == -ETIMEDOUT)
        return "the desktop portal did not answer the screenshot request";
    return "the desktop portal refused the screenshot: " +
           (error && error->message ? std::string(error->message) : errnoText(-result));
}

} // namespace

std::string takePortalScreenshot()
{
    const SdBus lib;
    const auto deadline = Clock::now() + kAnswerTime;
    sd_bus* rawBus = nullptr;
    const char* unique = nullptr;
    int r = lib.openUser(&rawBus);
    Owned<sd_bus> bus(rawBus, {lib.flushCloseUnref});
    if (r >= 0)
        r = lib.getUniqueName(rawBus, &unique);
    if (r < 0)
        throw Failure("cannot reach the session bus to ask the desktop portal for a screenshot: " +
                      errnoText(-r));

    // Listening before asking, to every request object of ours: a portal may answer before its
    // reply to the call, which names the object when it is not the one predicted.
    Answers answers;
    answers.lib = &lib;
    const std::string token = newToken();
    const std::string folder = requestFolder(unique);
    const std::string rule =
        std::string("type='signal',sender='") + kPortal +
        "',interface='org.freedesktop.portal.Request',member='Response',path_namespace='" + folder + "'";
    sd_bus_slot* rawSlot = nullptr;
    if (int s = lib.addMatch(rawBus, &rawSlot, rule.c_str(), onResponse, &answers); s < 0)
        throw Failure("cannot listen for the desktop portal's answer: " + errnoText(-s));
    Owned<sd_bus_slot> slot(rawSlot, {lib.slotUnref});

    sd_bus_message* rawCall = nullptr;
    r = lib.newMethodCall(rawBus, &rawCall, kPortal, kPortalPath, "org.freedesktop.portal.Screenshot",
                          "Screenshot");
    Owned<sd_bus_message> call(rawCall, {lib.messageUnref});
    if (r >= 0)
        r = lib.append(rawCall, "sa{sv}", "", 2, "handle_token", "s", token.c_str(), "interactive", "b", 0);
    if (r < 0)
        throw Failure("cannot ask the desktop portal for a screenshot: " + errnoText(-r));
    MethodCall screenshot(lib, rawBus);
    r = screenshot.send(rawCall, deadline);
    if (r < 0 || screenshot.error())
        throw Failure(callFailure(screenshot.error(), r < 0 ? r : -lib.messageErrno(screenshot.reply())));
    sd_bus_message* rawReply = screenshot.reply();
    const char* handle = nullptr;
    const char* portal = lib.sender(rawReply);
    if (lib.read(rawReply, "o", &handle) < 0 || !portal)
        throw Failure("the desktop portal answered the screenshot request with no request handle");
    answers.expected = Origin{portal, handle};
    for (auto& [origin, response] : answers.early) {
        if (origin == *answers.expected && !answers.ours)
            answers.ours = std::move(response);
    }

    r = processUntil(lib, rawBus, deadline, [&answers] { return answers.ours.has_value(); });
    if (r == -ETIMEDOUT) {
        // Also closes whatever dialog is still waiting for the user.
        lib.callMethodAsync(rawBus, nullptr, kPortal, handle, "org.freedesktop.portal.Request", "Close",
                            nullptr, nullptr, "");
        throw Failure("the desktop portal took no screenshot within " + std::to_string(kAnswerTime.count()) +
                      " seconds");
    }
    if (r < 0)
        throw Failure("lost the session bus while waiting for the desktop portal: " + errnoText(-r));
    // The portal's codes: 1, the user cancelled; 2, the request ended some other way (refused by the
    // desktop, or the portal failed).
    const Response& answer = *answers.ours;
    if (answer.code == 1)
        throw Failure("the desktop portal says the user cancelled the screenshot");
    if (answer.code != 0)
        throw Failure("the desktop portal ended the request without a screenshot: not allowed, or it could "
                      "not take one");
    if (!answer.uri)
        throw Failure("the desktop portal took the screenshot but did not say where it is");
    try {
        return pathOfFileUri(*answer.uri);
    } catch (const Failure& failure) {
        throw Failure(std::string("the desktop portal's screenshot is out of reach: ") + failure.what());
    }
}
