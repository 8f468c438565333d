#include "ui/number_box.h"

#include <algorithm>

namespace kitemail {
namespace {

// Digits with an optional minus sign, without the locale's group marks.
bool IsNumberText(const QString& text)
{
    if (text.isEmpty()) {
        return false;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!(c.isDigit() && c.unicode() < 0x80) && !(i == 0 && c == QLatin1Char('-'))) {
            return false;
        }
    }
    return text != QLatin1String("-");
}

} // namespace

NumberBox::NumberBox(NumberRange range, QWidget* parent) : QSpinBox(parent)
{
    setRange(range.min, range.max);
    setWrapping(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
}

QValidator::State NumberBox::validate(QString& text, int& /*pos*/) const
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t == QLatin1String("-")) {
        return QValidator::Intermediate;
    }
    if (!IsNumberText(t)) {
        return QValidator::Invalid;
    }
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    return ok && v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void NumberBox::fixup(QString& text) const
{
    const QString t = text.trimmed();
    bool ok = false;
    const qlonglong v = IsNumberText(t) ? t.toLongLong(&ok) : 0;
    // A number too long for any integer lies beyond either end.
    qlonglong clamped = minimum();
    if (ok) {
        clamped = std::clamp<qlonglong>(v, minimum(), maximum());
    } else if (IsNumberText(t)) {
        clamped = t.startsWith(QLatin1Char('-')) ? minimum() : maximum();
    }
    text = QString::number(clamped);
}

} // namespace kitemail
