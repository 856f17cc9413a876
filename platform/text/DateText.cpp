#include "DateText.h"

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/unistr.h>

QString formatDate(const QDateTime& instant, const QString& pattern)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString icuPattern(reinterpret_cast<const char16_t*>(pattern.utf16()),
                                        int32_t(pattern.size()));
    const icu::SimpleDateFormat formatter(icuPattern, icu::Locale::getDefault(), status);
    if (U_FAILURE(status))
        return {};
    icu::UnicodeString text;
    formatter.format(UDate(instant.toMSecsSinceEpoch()), text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}
