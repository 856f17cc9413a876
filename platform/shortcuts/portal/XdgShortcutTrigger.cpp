#include "XdgShortcutTrigger.h"

#include "shortcuts/Keysyms.h"

#include <QStringList>

#include <array>
#include <utility>
#include <xkbcommon/xkbcommon.h>

QString xdgShortcutTrigger(QKeyCombination combination)
{
    const xkb_keysym_t keysym = keysymForQtKey(combination.key());
    char name[64];
    if (keysym == 0 || xkb_keysym_get_name(keysym, name, sizeof name) <= 0)
        return {};
    // Qt's Meta is the key with the logo on Linux keyboards.
    constexpr std::array<std::pair<Qt::KeyboardModifier, const char*>, 4> modifiers{{
        {Qt::ControlModifier, "CTRL"},
        {Qt::AltModifier, "ALT"},
        {Qt::ShiftModifier, "SHIFT"},
        {Qt::MetaModifier, "LOGO"},
    }};
    QStringList parts;
    for (const auto& [modifier, text] : modifiers) {
        if (combination.keyboardModifiers() & modifier)
            parts.append(QLatin1String(text));
    }
    parts.append(QString::fromLatin1(name));
    return parts.join(QLatin1Char('+'));
}
