#include "Appearance.h"

#include <QWidget>

namespace {

struct Looks {
    QColor window, text, base, button, highlight, placeholder;
};

// Every role is set, so that no control falls back to the desktop's colours and loses its contrast
// against the look's background.
QPalette paletteOf(const Looks& looks)
{
    QPalette palette;
    palette.setColorGroup(QPalette::All, looks.text, looks.button, looks.button.lighter(130),
                          looks.button.darker(160), looks.button.darker(120), looks.text, QColor(Qt::white),
                          looks.base, looks.window);
    palette.setColor(QPalette::ButtonText, looks.text);
    palette.setColor(QPalette::AlternateBase, looks.base.darker(105));
    palette.setColor(QPalette::ToolTipBase, looks.base);
    palette.setColor(QPalette::ToolTipText, looks.text);
    palette.setColor(QPalette::PlaceholderText, looks.placeholder);
    palette.setColor(QPalette::Highlight, looks.highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, looks.highlight);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, looks.placeholder);
    return palette;
}

} // namespace

QPalette appearanceNamed(AppearanceName name)
{
    if (name == AppearanceName::VibrantLight)
        return paletteOf({.window = QColor(0xf2, 0xf2, 0xf2),
                          .text = QColor(0x1d, 0x1d, 0x1f),
                          .base = Qt::white,
                          .button = QColor(0xfa, 0xfa, 0xfa),
                          .highlight = QColor(0x2a, 0x6e, 0xd8),
                          .placeholder = QColor(0x8a, 0x8a, 0x8e)});
    return paletteOf({.window = QColor(0x2b, 0x2b, 0x2e),
                      .text = QColor(0xec, 0xec, 0xec),
                      .base = QColor(0x1e, 0x1e, 0x20),
                      .button = QColor(0x3a, 0x3a, 0x3e),
                      .highlight = QColor(0x3d, 0x84, 0xf0),
                      .placeholder = QColor(0x9a, 0x9a, 0x9e)});
}

void setAppearance(QWidget& view, const QPalette& appearance)
{
    view.setPalette(appearance);
    view.setAutoFillBackground(true);
}
