#pragma once
// The terminal-type boxes: they list the ten types in their order, then
// the types the user defined (TerminalTypes::BoxOrder), so a box's index
// is a type only through the table it was filled from; -1 is no selection.

#include "accounting/terminal_type.h"

class QComboBox;

namespace kitemail {

enum class TypeBoxTexts { Main, Other }; // the main window spells "i-mode(foma)"

// An empty box, named for the tests; ShowTypeBox fills it.
[[nodiscard]] QComboBox* NewTypeBox(const char* objectName, TypeBoxTexts texts = TypeBoxTexts::Other);
// The box lists types (refilled only when its items differ, so an open
// list is not disturbed) and shows t: no selection for Unspecified or a
// number types does not know. Signals are blocked: showing is no choice.
void ShowTypeBox(QComboBox* box, const TerminalTypes& types, TerminalType t);

} // namespace kitemail
