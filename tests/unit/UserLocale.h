#pragma once

#include <QtGlobal>

#include <unicode/timezone.h>

// Sets the user's locale variables and pins ICU's time zone, as a user's environment would. Empty
// values unset the variable.
inline void setUserLocale(const char* lcAll, const char* timeZone, const char* lcTime = "",
                          const char* lang = "")
{
    for (const auto& [name, value] : {std::pair{"LC_ALL", lcAll}, {"LC_TIME", lcTime}, {"LANG", lang}}) {
        if (*value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZone)));
}
