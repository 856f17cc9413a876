#pragma once

#include <QPalette>

class QWidget;

// The two looks of the windows' background views.
enum class AppearanceName { VibrantLight, VibrantDark };

QPalette appearanceNamed(AppearanceName name);

// The view paints its background in the look, and its controls follow it.
void setAppearance(QWidget& view, const QPalette& appearance);
