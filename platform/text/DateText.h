#pragma once

#include <QDateTime>
#include <QString>

// Formats an instant by a Unicode date pattern ("hh.mm.ss a") in the user's locale, calendar and time
// zone, as ICU sees them (LC_ALL, LC_MESSAGES or LANG; TZ or /etc/localtime).
QString formatDate(const QDateTime& instant, const QString& pattern);
