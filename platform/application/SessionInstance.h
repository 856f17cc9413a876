#pragma once

#include "application/NamedAction.h"

#include <memory>
#include <optional>

class ApplicationService;
class Log;
class SingleInstance;

// Makes this start the user session's one running program, or hands what it was asked to do to the one
// that runs. The session bus decides which one runs; without a session bus, a lock file in the user's
// private runtime folder does, and a request cannot be handed over.
class SessionInstance {
public:
    enum class Outcome {
        // This process is the one: it goes on to start the program.
        First,
        // Nothing is left to do: the running program has the request, or there was nothing to ask of one.
        Done,
        // The request did not reach a running program; the log says why.
        Failed,
    };

    SessionInstance(Log& log, NamedActions actions);
    ~SessionInstance();

    // action: the named action the start was asked for, if any.
    Outcome claim(const std::optional<QString>& action);

    // For the first: the program's object on the session bus, or null when the lock stands in for it.
    ApplicationService* service() const { return m_service.get(); }

private:
    Outcome claimWithLock(const std::optional<QString>& action, bool startsProgram);
    Outcome handOver(const std::optional<QString>& action);

    Log& m_log;
    NamedActions m_actions;
    std::unique_ptr<ApplicationService> m_service;
    std::unique_ptr<SingleInstance> m_lock;
};
