#pragma once

#include <QString>

#include <chrono>
#include <optional>

// The desktop's global answer for "AppleInterfaceStyle": "Dark" when the desktop prefers a dark
// appearance, nothing otherwise. Asks the freedesktop settings portal first and, when it has no
// preference or does not answer within the timeout, judges the application palette's lightness.
std::optional<QString> desktopInterfaceStyle(std::chrono::milliseconds portalTimeout);
