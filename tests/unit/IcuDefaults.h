#pragma once

#include <unicode/locid.h>
#include <unicode/timezone.h>

// Pins ICU's default locale and time zone, as a user's environment would.
inline void setIcuDefaults(const char* locale, const char* timeZone)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(locale), status);
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZone)));
}
