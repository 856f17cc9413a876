#pragma once

#include <QString>

// The locale-independent full lower-case mapping of Unicode ("Ä" gives "ä", "İ" gives "i̇").
QString lowercaseString(const QString& text);
