#pragma once

#include "system/Log.h"

#include <QStringList>

// Keeps every line, so that tests can count them.
class RecordingLog final : public Log {
public:
    void log(const QString& message) override { lines.append(message); }
    QStringList lines;
};
