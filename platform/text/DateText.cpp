#include "DateText.h"

#include <cstdlib>
#include <string_view>
#include <unicode/smpdtfmt.h>
#include <unicode/unistr.h>

icu::Locale formatsLocale()
{
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value)
            continue;
        const std::string_view name(value);
        const std::string_view language = name.substr(0, name.find_first_of(".@"));
        // The C library's own locale, which ICU calls en_US_POSIX.
        if (language == "C" || language == "POSIX")
            break;
        return icu::Locale::createCanonical(value);
    }
    return icu::Locale("en_US_POSIX");
}

QString formatDate(const QDateTime& instant, const QString& pattern)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString icuPattern(reinterpret_cast<const char16_t*>(pattern.utf16()),
                                        int32_t(pattern.size()));
    const icu::SimpleDateFormat formatter(icuPattern, formatsLocale(), status);
    if (U_FAILURE(status))
        return {};
    icu::UnicodeString text;
    formatter.format(UDate(instant.toMSecsSinceEpoch()), text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}
