#pragma once

#include <QString>

// The program's one diagnostic channel: one line per message, the message as the whole text.
class Log {
public:
    virtual ~Log() = default;
    virtual void log(const QString& message) = 0;
};
