#include "Appearance.h"

#include <QWidget>

QPalette appearanceNamed(AppearanceName name)
{
    if (name == AppearanceName::VibrantLight) {
        QPalette light(QColor(0x24, 0x24, 0x24), QColor(0xf2, 0xf2, 0xf2));
        light.setColor(QPalette::Base, Qt::white);
        light.setColor(QPalette::Text, QColor(0x24, 0x24, 0x24));
        light.setColor(QPalette::ButtonText, QColor(0x24, 0x24, 0x24));
        return light;
    }
    QPalette dark(QColor(0xec, 0xec, 0xec), QColor(0x2b, 0x2b, 0x2e));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
    dark.setColor(QPalette::AlternateBase, QColor(0x32, 0x32, 0x36));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3e));
    dark.setColor(QPalette::Text, QColor(0xec, 0xec, 0xec));
    dark.setColor(QPalette::ButtonText, QColor(0xec, 0xec, 0xec));
    dark.setColor(QPalette::WindowText, QColor(0xec, 0xec, 0xec));
    dark.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9e));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x84));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x84));
    return dark;
}

void setAppearance(QWidget& view, const QPalette& appearance)
{
    view.setPalette(appearance);
    view.setAutoFillBackground(true);
}
