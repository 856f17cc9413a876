#pragma once

#include "application/NamedAction.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QVariantList>

#include <functional>
#include <optional>
#include <vector>

// The session's one running program on the session bus: it owns the program's name there and carries
// out the Activate and ActivateAction calls that later starts, the desktop's launcher and its actions
// send. A later start hands its request over with the static functions.
class ApplicationService final : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    enum class Claim { Owned, OwnedElsewhere, Failed };

    ApplicationService(QDBusConnection bus, NamedActions actions, QObject* parent = nullptr);
    ~ApplicationService() override;

    // Puts the object on the bus, then takes the name. Failed says why in errorString().
    Claim claim();
    QString errorString() const { return m_error; }

    // What the calls do, once the program is ready for them; a call that came earlier waits for them.
    // Each runs on the main loop after the call has been answered, so that quitting does not cut the
    // answer short.
    void setHandlers(std::function<void()> activate, std::function<void(const QString&)> activateAction);

    // From the adaptor.
    void activateCalled();
    void activateActionCalled(const QString& name, const QVariantList& parameter);

    // Whether a program owns the name on the bus.
    static bool isRunning(QDBusConnection bus);
    // The process that owns the name, or 0 when the bus does not say.
    static qint64 runningProcess(QDBusConnection bus);
    // Asks the program that owns the name to activate, or to run the named action; the error when
    // it did not answer yes.
    static std::optional<QString> requestRunning(QDBusConnection bus, const std::optional<QString>& action,
                                                 int timeoutMs = kCallTimeoutMs);
    // "UNIQUE-NAME, process PID: COMMAND" of the name's owner, as far as the bus and the system tell.
    static QString owner(QDBusConnection bus);
    // Whether the name's owner runs this same program file.
    static bool ownerIsThisProgram(QDBusConnection bus);

    // A running program answers at once; one that does not within this long is stuck.
    static constexpr int kCallTimeoutMs = 10000;

private:
    // Runs request on the main loop, or once the handlers are set.
    void perform(std::function<void()> request);

    QDBusConnection m_bus;
    NamedActions m_actions;
    QString m_error;
    bool m_registered = false;
    std::function<void()> m_activate;
    std::function<void(const QString&)> m_activateAction;
    std::vector<std::function<void()>> m_waiting;
};
