#include "ui/sjis_field.h"

#include "platform/text_codec.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolTip>
#include <QValidator>

#include <vector>


namespace kitemail {

ComposedText ComposeSjis(QStringView text)
{
    SjisEncoding whole = EncodeSjis(text);
    if (whole.ok()) {
        return {std::move(whole.bytes), {}};
    }
    // Rare: encode one character at a time to put the mark where each
    // unmappable character stood.
    ComposedText out;
    out.bytes.reserve(whole.bytes.size() + 2 * whole.unmappable.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
        SjisEncoding one = EncodeSjis(text.mid(i, len));
        if (one.ok()) {
            out.bytes += one.bytes;
        } else {
            out.bytes += kUnmappablePlaceholder;
            out.unmappable.insert(out.unmappable.end(), one.unmappable.begin(), one.unmappable.end());
        }
        i += len;
    }
    return out;
}

ComposedText ComposeBody(const QString& plainText)
{
    QString text = plainText;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return ComposeSjis(text);
}

QString ShowSjis(std::string_view bytes)
{
    QString text = DecodeSjis(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

namespace {

// Beeps and says under the box which characters were refused.
void TellRefused(QWidget* box, const std::vector<char32_t>& characters)
{
    std::string names;
    for (const char32_t c : characters) {
        names += (names.empty() ? "" : ", ") + CodePointName(c);
    }
    QApplication::beep();
    QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())),
                       QStringLiteral("Shift_JISで表せない文字は使えません: ") + QString::fromStdString(names), box);
}

// What a box may not take. The replacement character stands for bytes of
// a damaged file that did not decode; the box must stay editable around it.
std::vector<char32_t> Refused(QStringView text)
{
    SjisEncoding encoded = EncodeSjis(text);
    std::erase(encoded.unmappable, U'\uFFFD');
    return encoded.unmappable;
}

class SjisValidator : public QValidator {
public:
    explicit SjisValidator(QLineEdit* edit) : QValidator(edit), edit_(edit) {}

    State validate(QString& text, int& /*pos*/) const override
    {
        const std::vector<char32_t> refused = Refused(text);
        if (refused.empty()) {
            return Acceptable;
        }
        TellRefused(edit_, refused);
        return Invalid;
    }

private:
    QLineEdit* edit_;
};

} // namespace

void AcceptSjisOnly(QLineEdit* edit)
{
    edit->setValidator(new SjisValidator(edit));
}

void AcceptSjisOnly(QPlainTextEdit* edit)
{
    // A multi-line box has no validator: the characters are taken out again
    // as soon as they arrive, wherever they were put.
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit] {
        const QString text = edit->toPlainText();
        const std::vector<char32_t> refused = Refused(text);
        if (refused.empty()) {
            return;
        }
        QTextCursor cursor(edit->document());
        cursor.beginEditBlock();
        for (qsizetype i = text.size(); i > 0;) {
            const bool pair = i >= 2 && text[i - 1].isLowSurrogate() && text[i - 2].isHighSurrogate();
            const qsizetype start = i - (pair ? 2 : 1);
            if (!Refused(QStringView(text).mid(start, i - start)).empty()) {
                cursor.setPosition(static_cast<int>(start));
                cursor.setPosition(static_cast<int>(i), QTextCursor::KeepAnchor);
                cursor.removeSelectedText();
            }
            i = start;
        }
        cursor.endEditBlock();
        TellRefused(edit, refused);
    });
}

} // namespace kitemail
