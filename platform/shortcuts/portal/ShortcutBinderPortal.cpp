#include "ShortcutBinderPortal.h"

#include "portal/DesktopPortal.h"
#include "portal/PortalRequest.h"
#include "settings/SettingsStore.h"
#include "shortcuts/StoredShortcut.h"
#include "shortcuts/portal/XdgShortcutTrigger.h"
#include "system/Log.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QList>
#include <QPair>
#include <QTimer>

#include <algorithm>

namespace {

// The same name for the session at every start and rebind: desktops that file the shortcuts under it
// (Plasma 5.27 names its kglobalaccel component after it) then keep one entry for the program.
const QString sessionToken = QStringLiteral("kestrelle");

// The portal shows this beside the trigger, in its dialog and in the desktop's shortcut settings.
QString descriptionOf(const QString& key)
{
    if (key == QLatin1String("CaptureShortcut"))
        //: A shortcut's description, which the desktop shows in its own shortcut settings.
        return ShortcutBinderPortal::tr("Capture Desktop");
    if (key == QLatin1String("CaptureClipboardShortcut"))
        //: A shortcut's description, which the desktop shows in its own shortcut settings.
        return ShortcutBinderPortal::tr("Capture Desktop to Clipboard");
    return key;
}

QString outcomeOf(uint response)
{
    return response == 1 ? QStringLiteral("declined by the user") : QStringLiteral("ended by the desktop");
}

// The published interface says an object path; some portal versions send the path as a string.
QString pathIn(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

} // namespace

ShortcutBinderPortal::ShortcutBinderPortal(SettingsStore& store, Log& log, QObject* parent)
    : ShortcutBinder(parent), m_store(store), m_log(log), m_bus(QDBusConnection::sessionBus())
{
    // The list needs its element type known to D-Bus as well.
    qDBusRegisterMetaType<PortalShortcuts::value_type>();
    qDBusRegisterMetaType<PortalShortcuts>();
    // The signal's slot is found by its signature's type names, which QtDBus knows only once registered.
    qRegisterMetaType<QDBusObjectPath>();
    if (!m_bus.connect(desktopPortal::service, desktopPortal::path, desktopPortal::globalShortcutsInterface,
                       QStringLiteral("Activated"), this,
                       SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap))))
        m_log.log(QStringLiteral("Shortcuts: cannot follow the desktop portal's shortcut presses: ") +
                  m_bus.lastError().message());
    connect(&m_store, &SettingsStore::valueChanged, this, &ShortcutBinderPortal::follow);
}

std::optional<QString> ShortcutBinderPortal::unavailableReason()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QStringLiteral("no session bus");
    QDBusMessage get = QDBusMessage::createMethodCall(desktopPortal::service, desktopPortal::path,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << desktopPortal::globalShortcutsInterface << QStringLiteral("version");
    // The bus may start the portal for this call, which takes a moment; a portal that hangs must not
    // hold up the program's start for long.
    constexpr int timeoutMs = 3000;
    const QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ErrorMessage)
        return std::nullopt;
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        return QStringLiteral("no desktop portal");
    return QStringLiteral("the desktop portal has no global shortcuts");
}

void ShortcutBinderPortal::bindShortcutWithDefaultsKey(const QString& key, std::function<void()> action)
{
    if (Binding* existing = bindingFor(key)) {
        existing->action = std::move(action);
        return;
    }
    m_bindings.push_back({key, std::move(action)});
    scheduleBind();
}

std::optional<QString> ShortcutBinderPortal::refusalFor(QKeyCombination combination, const QString& key)
{
    // Anything else the desktop settles itself when it binds.
    std::vector<BoundKey> bound;
    for (const Binding& binding : m_bindings)
        bound.push_back({binding.key, storedShortcut(m_store, binding.key)});
    return refusalIfAssigned(combination, key, bound, m_log);
}

void ShortcutBinderPortal::activated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                     const QVariantMap&)
{
    // Sessions closed for a rebind may still be reported for a moment.
    if (session.path() != m_session)
        return;
    if (const Binding* binding = bindingFor(id))
        binding->action();
}

void ShortcutBinderPortal::follow(const QString& key)
{
    if (!bindingFor(key))
        return;
    m_recorded = true;
    scheduleBind();
}

void ShortcutBinderPortal::scheduleBind()
{
    // The program binds its shortcuts one after the other, and a session binds only once: wait until
    // all of them are known.
    if (m_bindScheduled)
        return;
    m_bindScheduled = true;
    QTimer::singleShot(0, this, &ShortcutBinderPortal::bind);
}

void ShortcutBinderPortal::bind()
{
    m_bindScheduled = false;
    if (m_pending) {
        m_bindAgain = true;
        return;
    }
    if (m_session.isEmpty()) {
        createSession();
        return;
    }
    // The new session takes the old one's name, which the portal gives out again only once it is closed.
    auto* closing = new QDBusPendingCallWatcher(
        m_bus.asyncCall(QDBusMessage::createMethodCall(
            desktopPortal::service, m_session, desktopPortal::sessionInterface, QStringLiteral("Close"))),
        this);
    m_session.clear();
    m_pending = closing;
    connect(closing, &QDBusPendingCallWatcher::finished, this, [this, closing] {
        closing->deleteLater();
        m_pending = nullptr;
        createSession();
    });
}

ShortcutBinderPortal::PortalShortcuts ShortcutBinderPortal::wantedShortcuts()
{
    PortalShortcuts shortcuts;
    for (const Binding& binding : m_bindings) {
        QVariantMap properties{{QStringLiteral("description"), descriptionOf(binding.key)}};
        // Without a preferred trigger the desktop leaves the choice to the user.
        const QString text = m_store.stringForKey(binding.key).value_or(QString());
        if (const std::optional<QKeyCombination> shortcut = shortcutFromText(text)) {
            if (const QString trigger = xdgShortcutTrigger(*shortcut); !trigger.isEmpty())
                properties.insert(QStringLiteral("preferred_trigger"), trigger);
        } else if (!text.trimmed().isEmpty()) {
            m_log.log(QStringLiteral("Shortcuts: the value of %1 is not a shortcut; the desktop chooses its "
                                     "trigger")
                          .arg(binding.key));
        }
        shortcuts.append({binding.key, properties});
    }
    return shortcuts;
}

void ShortcutBinderPortal::createSession()
{
    // Some desktops bind the shortcuts given with the session (Plasma 5.27 binds only these), others
    // only those of BindShortcuts.
    const PortalShortcuts shortcuts = wantedShortcuts();
    m_sessionHolds = false;
    const QVariantMap options{{QStringLiteral("session_handle_token"), sessionToken},
                              {QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts)}};
    watch(new PortalRequest(m_bus, desktopPortal::globalShortcutsInterface, QStringLiteral("CreateSession"),
                            {}, options, this),
          [this, shortcuts, recorded = std::exchange(m_recorded, false)](uint response,
                                                                         const QVariantMap& results) {
              sessionCreated(response, results, shortcuts, recorded);
          });
}

void ShortcutBinderPortal::sessionCreated(uint response, const QVariantMap& results,
                                          const PortalShortcuts& shortcuts, bool recorded)
{
    m_session = pathIn(results.value(QStringLiteral("session_handle")));
    if (response != 0 || m_session.isEmpty()) {
        m_log.log(QStringLiteral("Shortcuts: the desktop portal opened no session for global shortcuts (%1); "
                                 "they do nothing")
                      .arg(outcomeOf(response)));
        m_session.clear();
        refuse();
        requestEnded();
        return;
    }
    // Plasma 6 opens the session without saying which shortcuts it holds.
    if (!results.contains(QStringLiteral("shortcuts"))) {
        const QVariantList arguments{QVariant::fromValue(QDBusObjectPath(m_session))};
        watch(new PortalRequest(m_bus, desktopPortal::globalShortcutsInterface,
                                QStringLiteral("ListShortcuts"), arguments, {}, this),
              [this, shortcuts, recorded](uint response, const QVariantMap& listed) {
                  bindUnheld(response == 0 ? listed : QVariantMap(), shortcuts, recorded);
              });
        return;
    }
    bindUnheld(results, shortcuts, recorded);
}

void ShortcutBinderPortal::bindUnheld(const QVariantMap& results, const PortalShortcuts& shortcuts,
                                      bool recorded)
{
    // Binding what the session holds already would ask the user again, and Plasma 5.27 opens its
    // shortcut settings instead: worth it only for a combination the user has just recorded, which such
    // a desktop does not take from the new session.
    const auto held = qdbus_cast<PortalShortcuts>(results.value(QStringLiteral("shortcuts")));
    const auto holds = [&](const Binding& binding) {
        return std::any_of(held.begin(), held.end(),
                           [&](const auto& item) { return item.first == binding.key; });
    };
    m_sessionHolds = std::any_of(m_bindings.begin(), m_bindings.end(), holds);
    if (!recorded && std::all_of(m_bindings.begin(), m_bindings.end(), holds)) {
        requestEnded();
        return;
    }
    const QVariantList arguments{QVariant::fromValue(QDBusObjectPath(m_session)),
                                 QVariant::fromValue(shortcuts), QString()};
    watch(new PortalRequest(m_bus, desktopPortal::globalShortcutsInterface, QStringLiteral("BindShortcuts"),
                            arguments, {}, this),
          [this](uint response, const QVariantMap& results) { shortcutsBound(response, results); });
}

void ShortcutBinderPortal::shortcutsBound(uint response, const QVariantMap& results)
{
    if (response != 0) {
        m_log.log(QStringLiteral("Shortcuts: the desktop bound no global shortcuts (%1); they do nothing")
                      .arg(outcomeOf(response)));
        if (!m_sessionHolds)
            refuse();
    } else if (results.contains(QStringLiteral("shortcuts"))) {
        const auto bound = qdbus_cast<PortalShortcuts>(results.value(QStringLiteral("shortcuts")));
        bool any = false;
        for (const Binding& binding : m_bindings) {
            if (std::any_of(bound.begin(), bound.end(),
                            [&](const auto& item) { return item.first == binding.key; }))
                any = true;
            else
                m_log.log(QStringLiteral("Shortcuts: the desktop did not bind %1; it does nothing")
                              .arg(binding.key));
        }
        if (!any && !m_sessionHolds)
            refuse();
    }
    requestEnded();
}

void ShortcutBinderPortal::requestFailed(const QString& error)
{
    m_log.log(QStringLiteral("Shortcuts: the desktop portal refused global shortcuts (%1); they do nothing")
                  .arg(error));
    if (!m_sessionHolds)
        refuse();
    requestEnded();
}

void ShortcutBinderPortal::requestEnded()
{
    if (m_bindAgain) {
        m_bindAgain = false;
        scheduleBind();
    }
}

void ShortcutBinderPortal::refuse()
{
    if (std::exchange(m_refused, true))
        return;
    emit refusedByDesktop();
}

void ShortcutBinderPortal::watch(PortalRequest* request,
                                 std::function<void(uint, const QVariantMap&)> answered)
{
    m_pending = request;
    const auto finished = [this, request] {
        request->deleteLater();
        m_pending = nullptr;
    };
    connect(request, &PortalRequest::answered, this,
            [finished, answered = std::move(answered)](uint response, const QVariantMap& results) {
                finished();
                answered(response, results);
            });
    connect(request, &PortalRequest::failed, this, [this, finished](const QString& error) {
        finished();
        requestFailed(error);
    });
}

ShortcutBinderPortal::Binding* ShortcutBinderPortal::bindingFor(const QString& key)
{
    const auto it = std::find_if(m_bindings.begin(), m_bindings.end(),
                                 [&](const Binding& binding) { return binding.key == key; });
    return it == m_bindings.end() ? nullptr : &*it;
}
