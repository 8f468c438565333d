#pragma once
// Text of the window's input boxes as the engine's code page 932 bytes.

#include "send/message_composer.h"

#include <QString>
#include <QStringView>

#include <string_view>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace kitemail {

// One box's text. A character Shift_JIS cannot hold becomes the geta mark
// and is listed, so it is counted and reported, never dropped.
[[nodiscard]] ComposedText ComposeSjis(QStringView text);

// The body: line breaks become CR LF, as the message is sent.
[[nodiscard]] ComposedText ComposeBody(const QString& plainText);

// Code page 932 bytes for showing in a widget; CR LF becomes one line break.
[[nodiscard]] QString ShowSjis(std::string_view bytes);

// Boxes whose text is stored as it is: a character Shift_JIS cannot hold is
// refused as it is typed or pasted, with a beep and a hint naming it.
void AcceptSjisOnly(QLineEdit* edit);
void AcceptSjisOnly(QPlainTextEdit* edit);

} // namespace kitemail
