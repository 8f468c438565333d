#pragma once
// The program's modal boxes over a given window. Texts are code page 932.

#include "platform/user_interface.h"

#include <string>

class QWidget;

namespace kitemail {

// A plain message box titled with the program's name.
void ShowMessageBox(QWidget* parent, const std::string& text);
// "はい(&Y)" / "いいえ(&N)"; true for Yes.
[[nodiscard]] bool ConfirmBox(QWidget* parent, const std::string& text, const std::string& title);
// "はい(&Y)" / "いいえ(&N)" / "キャンセル".
[[nodiscard]] YesNoCancel YesNoCancelBox(QWidget* parent, const std::string& text, const std::string& title);

} // namespace kitemail
