#include "TextCase.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

QString lowercaseString(const QString& text)
{
    icu::UnicodeString unicode(reinterpret_cast<const char16_t*>(text.utf16()), int32_t(text.size()));
    unicode.toLower(icu::Locale::getRoot());
    return QString(reinterpret_cast<const QChar*>(unicode.getBuffer()), unicode.length());
}
