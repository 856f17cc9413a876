#pragma once

#include <QKeyCombination>
#include <QString>

#include <optional>

class SettingsStore;

// A global shortcut is one key combination, stored as Qt's portable text ("Ctrl+Shift+3").

// The modifiers a shortcut can hold: Shift, Ctrl, Alt and Super (Qt's Meta). Others that Qt reports
// with a key, such as the keypad's, are no part of it.
inline constexpr Qt::KeyboardModifiers shortcutModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

// The combination a key pressed with the modifiers stands for as a shortcut.
QKeyCombination shortcutCombination(Qt::KeyboardModifiers modifiers, int key);

// Keys that only modify others (Shift, Ctrl, Alt, AltGr, Super, Hyper): pressed alone they are no
// combination yet.
bool isModifierKey(int key);
// The shortcut modifier that a modifier key holds down; none for the other keys.
Qt::KeyboardModifiers modifierOfKey(int key);

// Only combinations that cannot get in the way of typing: the key with Ctrl, Alt or Super, or a
// function key, with or without modifiers.
bool isUsableShortcut(QKeyCombination combination);

// Nothing for an empty text, a text Qt cannot read, a sequence of several combinations, or a
// combination that is not usable.
std::optional<QKeyCombination> shortcutFromText(const QString& text);
// The same for the text the store holds under key.
std::optional<QKeyCombination> storedShortcut(const SettingsStore& store, const QString& key);
QString textFromShortcut(QKeyCombination combination);
// For the user: the desktop's names of the keys.
QString displayText(QKeyCombination combination);
