#pragma once

#include "shortcuts/ShortcutBinder.h"

#include <QStringList>

class Log;
class SettingsStore;

// For sessions where no global shortcut can be had: the shortcuts are still recorded and stored, and
// two keys still cannot share one, but pressing them does nothing.
class ShortcutBinderNull final : public ShortcutBinder {
    Q_OBJECT

public:
    // Logs once that global shortcuts are not available, naming the session's display system.
    ShortcutBinderNull(SettingsStore& store, Log& log, const QString& displaySystem,
                       QObject* parent = nullptr);

    void bindShortcutWithDefaultsKey(const QString& key, std::function<void()> action) override;
    bool firesShortcuts() const override { return false; }
    std::optional<QString> refusalFor(QKeyCombination combination, const QString& key) override;

private:
    SettingsStore& m_store;
    Log& m_log;
    QStringList m_keys;
};
