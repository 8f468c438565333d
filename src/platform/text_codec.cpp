#include "platform/text_codec.h"

#include "platform/sjis.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QList>

#include <algorithm>
#include <cstdio>

namespace kitemail {
namespace {

constexpr auto kCodecName = "windows-31j";

// Unicode forms with no code page 932 code in ICU's table, and the Windows
// characters that Japanese users mean by them.
char16_t WindowsForm(char16_t c)
{
    switch (c) {
    case 0x301C: return 0xFF5E; // WAVE DASH -> FULLWIDTH TILDE
    case 0x2212: return 0xFF0D; // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
    case 0x2016: return 0x2225; // DOUBLE VERTICAL LINE -> PARALLEL TO
    case 0x2014: return 0x2015; // EM DASH -> HORIZONTAL BAR
    case 0x00A2: return 0xFFE0; // CENT SIGN
    case 0x00A3: return 0xFFE1; // POUND SIGN
    case 0x00AC: return 0xFFE2; // NOT SIGN
    default: return c;
    }
}

bool EncodeOne(QStringView ch, std::string& out)
{
    // A fresh encoder for each character: in Qt 6.4 neither resetState() nor
    // assigning a new encoder clears the error flag reliably, and a stale one
    // would report the characters after an unmappable one as unmappable too.
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder(ch);
    if (encoder.hasError()) {
        return false;
    }
    out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

// Whether every byte of bytes belongs to a character of the decoder's
// encoding (an incomplete one at the end does not).
bool DecodesCleanly(QStringDecoder&& decoder, std::string_view bytes)
{
    // The decoder works when its result is taken.
    const QString text = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError();
}

} // namespace

SjisEncoding EncodeSjis(QStringView text)
{
    // The text is copied only when it holds a character to replace: it is
    // encoded at every keystroke.
    QString replaced;
    QStringView mapped = text;
    const auto needsWindowsForm = [](QChar c) { return WindowsForm(c.unicode()) != c.unicode(); };
    if (std::any_of(text.begin(), text.end(), needsWindowsForm)) {
        replaced = text.toString();
        for (QChar& c : replaced) {
            c = QChar(WindowsForm(c.unicode()));
        }
        mapped = replaced;
    }

    SjisEncoding result;
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    const QByteArray whole = encoder(mapped);
    if (!encoder.hasError()) {
        result.bytes.assign(whole.constData(), static_cast<std::size_t>(whole.size()));
        return result;
    }

    // Rare path: find the characters that failed, one code point at a time.
    result.bytes.reserve(static_cast<std::size_t>(whole.size()));
    qsizetype i = 0;
    while (i < mapped.size()) {
        const qsizetype len = (mapped[i].isHighSurrogate() && i + 1 < mapped.size()) ? 2 : 1;
        const QStringView ch = mapped.mid(i, len);
        if (!EncodeOne(ch, result.bytes)) {
            result.unmappable.push_back(ch.toUcs4().value(0));
        }
        i += len;
    }
    return result;
}

SjisEncoding Utf8ToSjis(std::string_view utf8)
{
    return EncodeSjis(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

QString DecodeSjis(std::string_view bytes)
{
    QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
    return decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string SjisToUtf8(std::string_view bytes)
{
    return DecodeSjis(bytes).toUtf8().toStdString();
}

std::string UndecodableSjisNames(std::string_view bytes)
{
    if (IsSjisText(bytes)) {
        return {};
    }
    constexpr int kMaxNamed = 10;
    std::string names;
    int named = 0;
    std::size_t line = 1;
    const auto hex = [](unsigned char b) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(b));
        return std::string(buf);
    };
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool lead = sjis::IsLeadByte(b);
        const auto trail = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        // A lead byte with a trail byte is one character, mapped or not.
        const std::size_t len = lead && trail >= 0x40 && trail <= 0xFC && trail != 0x7F ? 2 : 1;
        const std::string_view ch = bytes.substr(i, len);
        if (!IsSjisText(ch) || (len == 1 && lead)) {
            if (named == kMaxNamed) {
                names += ", ...";
                break;
            }
            names += (named == 0 ? "" : ", ") + std::to_string(line) + Sj("行目");
            for (const char c : ch) {
                names += " " + hex(static_cast<unsigned char>(c));
            }
            ++named;
        }
        if (b == '\n') {
            ++line;
        }
        i += len;
    }
    return names;
}

bool IsSjisText(std::string_view bytes)
{
    return DecodesCleanly(QStringDecoder(kCodecName, QStringConverter::Flag::Stateless), bytes);
}

bool IsUtf8Text(std::string_view bytes)
{
    return DecodesCleanly(QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless), bytes);
}

std::string Sj(std::string_view utf8)
{
    return Utf8ToSjis(utf8).bytes;
}

std::string CodePointName(char32_t c)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    return buf;
}

std::string CodePointNames(const std::vector<char32_t>& characters)
{
    std::vector<char32_t> named;
    std::string names;
    for (const char32_t c : characters) {
        if (std::find(named.begin(), named.end(), c) == named.end()) {
            named.push_back(c);
            names += (names.empty() ? "" : ", ") + CodePointName(c);
        }
    }
    return names;
}

} // namespace kitemail
