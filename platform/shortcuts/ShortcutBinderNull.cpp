#include "ShortcutBinderNull.h"

#include "settings/SettingsStore.h"
#include "shortcuts/StoredShortcut.h"
#include "system/Log.h"

ShortcutBinderNull::ShortcutBinderNull(SettingsStore& store, Log& log, const QString& displaySystem,
                                       QObject* parent)
    : ShortcutBinder(parent), m_store(store), m_log(log)
{
    m_log.log(QStringLiteral("Shortcuts: global shortcuts are not available in this session (%1); recorded "
                             "shortcuts are kept but do nothing")
                  .arg(displaySystem.isEmpty() ? QStringLiteral("no display") : displaySystem));
}

void ShortcutBinderNull::bindShortcutWithDefaultsKey(const QString& key, std::function<void()>)
{
    if (!m_keys.contains(key))
        m_keys.append(key);
}

std::optional<QString> ShortcutBinderNull::refusalFor(QKeyCombination combination, const QString& key)
{
    for (const QString& other : std::as_const(m_keys)) {
        if (other == key)
            continue;
        if (shortcutFromText(m_store.stringForKey(other).value_or(QString())) == combination) {
            m_log.log(QStringLiteral("Shortcuts: %1 is already used for %2; %3 keeps its shortcut")
                          .arg(textFromShortcut(combination), other, key));
            return tr("%1 is already assigned to another action.").arg(displayText(combination));
        }
    }
    return std::nullopt;
}
