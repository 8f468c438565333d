#pragma once
// A number box that keeps its value inside its range whether it is stepped
// with its arrows, left after typing or set from a loaded value. Typing out
// of range is let through until the box is left, then clamped; a text that
// is not a number counts as the range's lower end.

#include "settings/settings_editor.h"

#include <QSpinBox>

namespace kitemail {

class NumberBox : public QSpinBox {
    Q_OBJECT
public:
    explicit NumberBox(NumberRange range, QWidget* parent = nullptr);

protected:
    [[nodiscard]] QValidator::State validate(QString& text, int& pos) const override;
    void fixup(QString& text) const override;
};

} // namespace kitemail
