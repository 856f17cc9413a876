#pragma once

#include <QDateTime>
#include <QString>

#include <unicode/locid.h>

// Formats an instant by a Unicode date pattern ("hh.mm.ss a") in the user's formats locale, its
// calendar and the user's time zone (TZ or /etc/localtime).
QString formatDate(const QDateTime& instant, const QString& pattern);

// The locale the user chose for dates and times: LC_ALL, else LC_TIME, else LANG, as the C library
// reads them. ICU's own default follows the messages' locale instead, which desktops keep apart from
// the formats ("English messages, British dates").
icu::Locale formatsLocale();
