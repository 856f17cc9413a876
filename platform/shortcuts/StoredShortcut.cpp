#include "StoredShortcut.h"

#include <QKeySequence>

namespace {

constexpr Qt::KeyboardModifiers shortcutModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

bool isFunctionKey(Qt::Key key)
{
    return key >= Qt::Key_F1 && key <= Qt::Key_F35;
}

} // namespace

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

QString textFromShortcut(QKeyCombination combination)
{
    return QKeySequence(combination).toString(QKeySequence::PortableText);
}

QString displayText(QKeyCombination combination)
{
    return QKeySequence(combination).toString(QKeySequence::NativeText);
}
