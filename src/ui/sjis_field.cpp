#include "ui/sjis_field.h"

#include "platform/text_codec.h"

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

} // namespace kitemail
