#pragma once
// The terminal-type boxes: they list the ten types in their order, so a
// box's index is the type's number and -1 is no selection.

#include "accounting/terminal_type.h"

class QComboBox;

namespace kitemail {

enum class TypeBoxTexts { Main, Other }; // the main window spells "i-mode(foma)"

// A box with the ten types, named for the tests.
[[nodiscard]] QComboBox* NewTypeBox(const char* objectName, TypeBoxTexts texts = TypeBoxTexts::Other);
// The box's index as a type: Unspecified for no selection.
[[nodiscard]] TerminalType TypeAtBoxIndex(int index) noexcept;
// The index that shows t: -1 for Unspecified or a number that names no type.
[[nodiscard]] int BoxIndexOf(TerminalType t) noexcept;

} // namespace kitemail
