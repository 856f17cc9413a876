#include "ShortcutBinder.h"

#include "shortcuts/StoredShortcut.h"
#include "system/Log.h"

QKeyCombination ShortcutBinder::combinationOf(const QKeyEvent& event) const
{
    return shortcutCombination(event.modifiers(), event.key());
}

bool ShortcutBinder::sameShortcut(QKeyCombination first, QKeyCombination second) const
{
    return first == second;
}

std::optional<QString> ShortcutBinder::keyHolding(QKeyCombination combination, const QString& key,
                                                  const std::vector<BoundKey>& bound) const
{
    for (const BoundKey& other : bound) {
        if (other.key != key && other.shortcut && sameShortcut(*other.shortcut, combination))
            return other.key;
    }
    return std::nullopt;
}

std::optional<QString> ShortcutBinder::refusalIfAssigned(QKeyCombination combination, const QString& key,
                                                         const std::vector<BoundKey>& bound, Log& log) const
{
    const std::optional<QString> other = keyHolding(combination, key, bound);
    if (!other)
        return std::nullopt;
    log.log(QStringLiteral("Shortcuts: %1 is already used for %2; %3 keeps its shortcut")
                .arg(textFromShortcut(combination), *other, key));
    //: Hint under a shortcut field; %1 is a key combination such as Ctrl+Shift+3.
    return tr("%1 is already assigned to another action.").arg(displayText(combination));
}
