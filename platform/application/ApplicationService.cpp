#include "ApplicationService.h"

#include "application/ApplicationAdaptor.h"
#include "application/ApplicationBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <utility>

ApplicationService::ApplicationService(QDBusConnection bus, NamedActions actions, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_actions(std::move(actions))
{
    // Owned by this object, as Qt's adaptors are.
    new ApplicationAdaptor(*this);
}

ApplicationService::~ApplicationService()
{
    if (m_registered)
        m_bus.unregisterObject(ApplicationBus::kPath);
}

ApplicationService::Claim ApplicationService::claim()
{
    // The object first: a caller that sees the name must find it.
    m_registered = m_bus.registerObject(ApplicationBus::kPath, this, QDBusConnection::ExportAdaptors);
    if (!m_registered) {
        m_error = QStringLiteral("the object path %1 is taken").arg(ApplicationBus::kPath);
        return Claim::Failed;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_bus.interface()->registerService(ApplicationBus::kService,
                                           QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        m_error = reply.error().message();
        return Claim::Failed;
    }
    return reply.value() == QDBusConnectionInterface::ServiceRegistered ? Claim::Owned
                                                                        : Claim::OwnedElsewhere;
}

void ApplicationService::setHandlers(std::function<void()> activate,
                                     std::function<void(const QString&)> activateAction)
{
    m_activate = std::move(activate);
    m_activateAction = std::move(activateAction);
    for (std::function<void()>& request : std::exchange(m_waiting, {}))
        perform(std::move(request));
}

void ApplicationService::perform(std::function<void()> request)
{
    QTimer::singleShot(0, this, [this, request = std::move(request)] {
        if (m_activate)
            request();
        else
            m_waiting.push_back(request);
    });
}

void ApplicationService::activateCalled()
{
    perform([this] { m_activate(); });
}

void ApplicationService::activateActionCalled(const QString& name, const QVariantList& parameter)
{
    const bool known = std::any_of(m_actions.cbegin(), m_actions.cend(),
                                   [&name](const NamedAction& action) { return action.name == name; });
    if (!known) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("Kestrelle has no action '%1'").arg(name));
        return;
    }
    if (!parameter.isEmpty()) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("The action '%1' takes no parameter").arg(name));
        return;
    }
    perform([this, name] { m_activateAction(name); });
}

bool ApplicationService::isRunning(QDBusConnection bus)
{
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(ApplicationBus::kService);
    return reply.isValid() && reply.value();
}

qint64 ApplicationService::runningProcess(QDBusConnection bus)
{
    const QDBusReply<uint> reply = bus.interface()->servicePid(ApplicationBus::kService);
    return reply.isValid() ? qint64(reply.value()) : 0;
}

QString ApplicationService::owner(QDBusConnection bus)
{
    const QDBusReply<QString> unique = bus.interface()->serviceOwner(ApplicationBus::kService);
    QString text = unique.isValid() ? unique.value() : QStringLiteral("an owner the bus does not name");
    const qint64 process = runningProcess(bus);
    if (process == 0)
        return text;
    text += QStringLiteral(", process %1").arg(process);
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(process));
    if (commandLine.open(QIODevice::ReadOnly)) {
        const QString command =
            QString::fromLocal8Bit(commandLine.readAll()).replace(QChar(0), u' ').trimmed();
        if (!command.isEmpty())
            text += QStringLiteral(": ") + command;
    }
    return text;
}

bool ApplicationService::ownerIsThisProgram(QDBusConnection bus)
{
    const qint64 process = runningProcess(bus);
    if (process == 0)
        return false;
    const QString program = QFileInfo(QStringLiteral("/proc/%1/exe").arg(process)).symLinkTarget();
    return !program.isEmpty() && program == QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

std::optional<QString> ApplicationService::requestRunning(QDBusConnection bus,
                                                          const std::optional<QString>& action, int timeoutMs)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        ApplicationBus::kService, ApplicationBus::kPath, ApplicationBus::kInterface,
        action ? QStringLiteral("ActivateAction") : QStringLiteral("Activate"));
    if (action)
        call << *action << QVariantList() << QVariantMap();
    else
        call << QVariantMap();
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return reply.errorMessage();
    return std::nullopt;
}
