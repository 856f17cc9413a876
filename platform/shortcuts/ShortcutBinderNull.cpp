#include "ShortcutBinderNull.h"

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
    std::vector<BoundKey> bound;
    for (const QString& boundKey : std::as_const(m_keys))
        bound.push_back({boundKey, storedShortcut(m_store, boundKey)});
    return refusalIfAssigned(combination, key, bound, m_log);
}
