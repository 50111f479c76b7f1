#pragma once
// Keyboard shortcuts as the program shows and writes them: modifier names "Shift+", "Ctrl+",
// "Alt+" (in that order) followed by the key's name on the French keyboard ("Entrée", "Echap",
// "Barre d'Espace", "Fin", "Inser", "Suppr", "BkSp", "Home", "Left", "Up", "Right", "Down"),
// a letter, a digit or "F1".."F24". Keys without such a name (the numeric keypad's operators,
// Pause, ...) have an empty text: they work as shortcuts but are shown as no key.

#include <QKeyCombination>
#include <QString>

namespace vistrel::actions {

// The shortcut of an action that has none.
inline constexpr QKeyCombination kNoKey = QKeyCombination::fromCombined(0);

inline bool isNoKey(QKeyCombination key) { return key.key() == Qt::Key(0) || key.key() == Qt::Key_unknown; }

// The form in which a key press and a shortcut are compared: only Shift, Ctrl, Alt and Meta count
// as modifiers; the keypad Enter is Enter; the keypad flag is kept only for the keypad's digits and
// operators, which are keys of their own (keypad arrows and Home are the same keys as the others).
QKeyCombination normalizeKey(QKeyCombination key);

// The displayed text of a shortcut; empty for no key and for keys without a name.
QString ShortCutToText(QKeyCombination key);

// The inverse, ignoring case ("CTRL+G", "Alt+Entrée", "ctrl+barre d'espace"); kNoKey when the text
// names no key.
QKeyCombination TextToShortCut(const QString& text);

}  // namespace vistrel::actions
