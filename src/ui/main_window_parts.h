#pragma once
// What the units of the main window share and no other window needs.

#include "platform/text_codec.h"
#include "ui/main_window.h"
#include "ui/sjis_field.h"
#include "ui/utf8_text.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QString>
#include <QWidget>

#include <cstddef>

namespace kitemail::main_window_parts {

// Where an opener's menu item, tool button and command are kept.
[[nodiscard]] inline std::size_t Slot(Opener which)
{
    return static_cast<std::size_t>(which);
}

// "short|long" hints: the short part is the tool tip.
inline void SetHint(QWidget* widget, const char* hint)
{
    const QString text = Q(hint);
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    widget->setToolTip(bar < 0 ? text : text.left(bar));
    widget->setStatusTip(bar < 0 ? text : text.mid(bar + 1));
}

// Active input boxes have the window colour, inactive ones the button face.
inline void SetInputColour(QWidget* widget, bool windowColour)
{
    const QColor colour = QApplication::palette().color(windowColour ? QPalette::Base : QPalette::Button);
    QPalette pal = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, colour);
        if (qobject_cast<QComboBox*>(widget) != nullptr) {
            pal.setColor(group, QPalette::Button, colour);
        }
    }
    widget->setPalette(pal);
}

// A one-line box shows the composer's text, unless that holds characters
// it cannot show (the box keeps what the user typed then).
inline void ShowComposed(QLineEdit* edit, const ComposedText& text)
{
    const QString shown = DecodeSjis(text.bytes);
    if (text.unmappable.empty() && edit->text() != shown) {
        const QSignalBlocker block(edit);
        edit->setText(shown);
    }
}

} // namespace kitemail::main_window_parts
