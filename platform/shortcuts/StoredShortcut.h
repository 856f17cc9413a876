#pragma once

#include <QKeyCombination>
#include <QString>

#include <optional>

// A global shortcut is one key combination, stored as Qt's portable text ("Ctrl+Shift+3").

// Only combinations that cannot get in the way of typing: the key with Ctrl, Alt or Super, or a
// function key, with or without modifiers.
bool isUsableShortcut(QKeyCombination combination);

// Nothing for an empty text, a text Qt cannot read, a sequence of several combinations, or a
// combination that is not usable.
std::optional<QKeyCombination> shortcutFromText(const QString& text);
QString textFromShortcut(QKeyCombination combination);
// For the user: the desktop's names of the keys.
QString displayText(QKeyCombination combination);
