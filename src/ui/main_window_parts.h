#pragma once
// What the units of the main window share and no other window needs.

#include "ui/main_window.h"
#include "ui/utf8_text.h"

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

} // namespace kitemail::main_window_parts
