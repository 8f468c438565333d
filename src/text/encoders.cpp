#include "text/encoders.h"

#include "platform/sjis.h"
#include "text/jis.h"

#include <algorithm>

namespace kitemail {
namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexDigits[] = "0123456789ABCDEF";

unsigned char At(std::string_view s, std::size_t i) noexcept
{
    return static_cast<unsigned char>(s[i]);
}

void AppendHexEscape(std::string& out, unsigned char b)
{
    out.push_back('=');
    out.push_back(kHexDigits[b >> 4]);
    out.push_back(kHexDigits[b & 15]);
}

char UuChar(unsigned v) noexcept
{
    return static_cast<char>(0x20 + (v & 63));
}

void AppendUuGroup(std::string& out, unsigned b0, unsigned b1, unsigned b2)
{
    out.push_back(UuChar(b0 >> 2));
    out.push_back(UuChar(((b0 & 3) << 4) | (b1 >> 4)));
    out.push_back(UuChar(((b1 & 15) << 2) | (b2 >> 6)));
    out.push_back(UuChar(b2 & 63));
}

} // namespace

void AppendBase64(std::string& out, std::string_view bytes)
{
    const std::size_t n = bytes.size();
    const std::size_t start = out.size();
    out.resize(start + 4 * ((n + 2) / 3));
    char* o = out.data() + start;
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned v = (unsigned{At(bytes, i)} << 16) | (unsigned{At(bytes, i + 1)} << 8) | At(bytes, i + 2);
        *o++ = kBase64Alphabet[(v >> 18) & 63];
        *o++ = kBase64Alphabet[(v >> 12) & 63];
        *o++ = kBase64Alphabet[(v >> 6) & 63];
        *o++ = kBase64Alphabet[v & 63];
    }
    if (i < n) {
        const bool two = i + 1 < n;
        const unsigned v = (unsigned{At(bytes, i)} << 16) | (two ? unsigned{At(bytes, i + 1)} << 8 : 0u);
        *o++ = kBase64Alphabet[(v >> 18) & 63];
        *o++ = kBase64Alphabet[(v >> 12) & 63];
        *o++ = two ? kBase64Alphabet[(v >> 6) & 63] : '=';
        *o++ = '=';
    }
}

std::string EncodeBase64(std::string_view bytes)
{
    std::string out;
    AppendBase64(out, bytes);
    return out;
}

std::string EncodeJisWord(std::string_view sjis)
{
    std::string out = "=?ISO-2022-JP?B?";
    AppendBase64(out, SjisToJis(sjis));
    out += "?=";
    return out;
}

std::string EncodeJisHeader(std::string_view sjis)
{
    std::string result;
    std::string single;
    std::string doubleRun;
    bool open = false;
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        if (sjis::IsLeadByte(sjis[i])) {
            if (!open) {
                result += single;
                single.clear();
            }
            doubleRun.push_back(sjis[i]);
            if (i + 1 < sjis.size()) {
                doubleRun.push_back(sjis[++i]);
            }
            open = true;
        } else {
            if (open) {
                result += EncodeJisWord(doubleRun);
                doubleRun.clear();
            }
            single.push_back(sjis[i]);
            open = false;
        }
    }
    result += open ? EncodeJisWord(doubleRun) : single;
    return result;
}

std::string EncodeQHeader(std::string_view value)
{
    if (std::none_of(value.begin(), value.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7E; })) {
        return std::string(value);
    }
    std::string out = "=?ISO-8859-1?Q?";
    for (const char ch : value) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == ' ') {
            out.push_back('_');
        } else if (b < 0x20 || b == '=' || b >= 0x7F) {
            AppendHexEscape(out, b);
        } else {
            out.push_back(ch);
        }
    }
    out += "?=";
    return out;
}

std::string EncodeHeaderLine(std::string_view line)
{
    const std::size_t colon = line.find(": ");
    if (colon == std::string_view::npos) {
        return std::string(line);
    }
    const std::size_t valueStart = colon + 2;
    std::string out(line.substr(0, valueStart));
    out += EncodeQHeader(line.substr(valueStart, 999));
    out += "  ";
    return out;
}

void QuotedPrintableEncoder::Encode(std::string_view bytes, std::string& out)
{
    // RFC 2045 6.7: lines of at most 76 characters; this keeps 73 before "=".
    constexpr std::int32_t kMaxColumn = 70;
    out.reserve(out.size() + bytes.size() * 3 + bytes.size() / 20);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x21 && b <= 0x7E && b != '=') {
            out.push_back(ch);
            QpColumn += 1;
        } else {
            AppendHexEscape(out, b);
            QpColumn += 3;
        }
        if (QpColumn > kMaxColumn) {
            QpColumn = 0;
            out += "=\r\n";
        }
    }
}

void EncodeUuBlock(std::string_view bytes, std::string& out)
{
    constexpr std::size_t kLineBytes = 45;
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    for (; i + kLineBytes <= n; i += kLineBytes) {
        out.push_back('M');
        for (std::size_t g = i; g < i + kLineBytes; g += 3) {
            AppendUuGroup(out, At(bytes, g), At(bytes, g + 1), At(bytes, g + 2));
        }
        out += "\r\n";
    }
    const std::size_t r = n - i;
    if (r == 0) {
        return;
    }
    out.push_back(static_cast<char>(0x20 + r));
    std::size_t g = i;
    for (; g + 3 <= n; g += 3) {
        AppendUuGroup(out, At(bytes, g), At(bytes, g + 1), At(bytes, g + 2));
    }
    if (g < n) {
        const unsigned b1 = g + 1 < n ? At(bytes, g + 1) : 0x20u;
        AppendUuGroup(out, At(bytes, g), b1, 0x20u);
    }
    out += "\r\n";
}

} // namespace kitemail
