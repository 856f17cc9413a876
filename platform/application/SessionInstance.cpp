#include "SessionInstance.h"

#include "application/ApplicationBus.h"
#include "application/ApplicationService.h"
#include "application/SingleInstance.h"
#include "system/Log.h"

#include <algorithm>

namespace {

constexpr int kOtherOwnerTimeoutMs = 2000;

QString alreadyRunning(qint64 process)
{
    return QStringLiteral("Kestrelle is already running (process %1); this one exits").arg(process);
}

} // namespace

SessionInstance::SessionInstance(Log& log, NamedActions actions) : m_log(log), m_actions(std::move(actions))
{}

SessionInstance::~SessionInstance() = default;

SessionInstance::Outcome SessionInstance::claim(const std::optional<QString>& action)
{
    const auto named = std::find_if(m_actions.cbegin(), m_actions.cend(),
                                    [&action](const NamedAction& each) { return action == each.name; });
    const bool startsProgram = named == m_actions.cend() || named->startsProgram;

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return claimWithLock(action, startsProgram);
    if (!startsProgram && !ApplicationService::isRunning(bus))
        return Outcome::Done;
    m_service = std::make_unique<ApplicationService>(bus, m_actions);
    switch (m_service->claim()) {
    case ApplicationService::Claim::Owned:
        return Outcome::First;
    case ApplicationService::Claim::OwnedElsewhere:
        m_service.reset();
        return handOver(action);
    case ApplicationService::Claim::Failed:
        break;
    }
    m_log.log(
        QStringLiteral("Could not take the name %1 on the session bus (%2); a lock file keeps Kestrelle "
                       "to one instance instead")
            .arg(ApplicationBus::kService, m_service->errorString()));
    m_service.reset();
    return claimWithLock(action, startsProgram);
}

SessionInstance::Outcome SessionInstance::handOver(const std::optional<QString>& action)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!action) {
        // Another program that holds the name would otherwise keep Kestrelle from running at all, as at
        // every login. A Kestrelle still starting may take a while to answer; anything else gets a moment.
        const int timeoutMs = ApplicationService::ownerIsThisProgram(bus) ? ApplicationService::kCallTimeoutMs
                                                                          : kOtherOwnerTimeoutMs;
        if (const std::optional<QString> error = ApplicationService::requestRunning(bus, action, timeoutMs)) {
            m_log.log(QStringLiteral("Another program holds the name %1 on the session bus (%2) and does not "
                                     "answer as Kestrelle (%3); Kestrelle runs without the name")
                          .arg(ApplicationBus::kService, ApplicationService::owner(bus), *error));
            return claimWithLock(action, true);
        }
        m_log.log(alreadyRunning(ApplicationService::runningProcess(bus)));
        return Outcome::Done;
    }
    if (const std::optional<QString> error = ApplicationService::requestRunning(bus, action)) {
        m_log.log(QStringLiteral("The running Kestrelle did not take the request: ") + *error);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

SessionInstance::Outcome SessionInstance::claimWithLock(const std::optional<QString>& action,
                                                        bool startsProgram)
{
    const std::optional<QString> lockPath = SingleInstance::standardLockPath();
    if (!lockPath) {
        if (!startsProgram)
            return Outcome::Done;
        m_log.log(QStringLiteral("No session bus and no private runtime folder (XDG_RUNTIME_DIR) to keep "
                                 "Kestrelle to one instance; it runs without that check"));
        return Outcome::First;
    }
    m_lock = std::make_unique<SingleInstance>(*lockPath);
    if (m_lock->isFirst())
        return startsProgram ? Outcome::First : Outcome::Done;
    if (!action) {
        m_log.log(alreadyRunning(m_lock->runningProcess()));
        return Outcome::Done;
    }
    m_log.log(QStringLiteral("Kestrelle is already running (process %1), and without a session bus it cannot "
                             "be asked for --%2")
                  .arg(m_lock->runningProcess())
                  .arg(*action));
    return Outcome::Failed;
}
