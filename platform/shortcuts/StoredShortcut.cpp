#include "StoredShortcut.h"

#include "settings/SettingsStore.h"

#include <QKeySequence>

namespace {

bool isFunctionKey(Qt::Key key)
{
    return key >= Qt::Key_F1 && key <= Qt::Key_F35;
}

} // namespace

QKeyCombination shortcutCombination(Qt::KeyboardModifiers modifiers, int key)
{
    return QKeyCombination(modifiers & shortcutModifiers, Qt::Key(key));
}

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
        return true;
    default:
        return false;
    }
}

Qt::KeyboardModifiers modifierOfKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
        return Qt::ShiftModifier;
    case Qt::Key_Control:
        return Qt::ControlModifier;
    case Qt::Key_Alt:
        return Qt::AltModifier;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return Qt::MetaModifier;
    default:
        return Qt::NoModifier;
    }
}

bool isUsableShortcut(QKeyCombination combination)
{
    const Qt::Key key = combination.key();
    if (key == 0 || key == Qt::Key_unknown || (combination.keyboardModifiers() & ~shortcutModifiers))
        return false;
    return isFunctionKey(key) ||
           (combination.keyboardModifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

std::optional<QKeyCombination> shortcutFromText(const QString& text)
{
    const QKeySequence sequence = QKeySequence::fromString(text.trimmed(), QKeySequence::PortableText);
    if (sequence.count() != 1 || !isUsableShortcut(sequence[0]))
        return std::nullopt;
    return sequence[0];
}

std::optional<QKeyCombination> storedShortcut(const SettingsStore& store, const QString& key)
{
    return shortcutFromText(store.stringForKey(key).value_or(QString()));
}

QString textFromShortcut(QKeyCombination combination)
{
    return QKeySequence(combination).toString(QKeySequence::PortableText);
}

QString displayText(QKeyCombination combination)
{
    return QKeySequence(combination).toString(QKeySequence::NativeText);
}
