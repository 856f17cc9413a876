#pragma once

#include "system/Log.h"

#include <QByteArray>

// Writes each message as one line on stderr, prefixed like the system log: the local time, the process
// name and its id.
class StderrLog final : public Log {
public:
    explicit StderrLog(const QString& processName);
    void log(const QString& message) override;

    // The line as written, without its time stamp; control characters are escaped so that one message
    // always stays one line.
    static QByteArray lineBody(const QByteArray& prefix, const QString& message);

private:
    QByteArray m_prefix;
};
