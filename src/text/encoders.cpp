#include "text/encoders.h"

#include "platform/sjis.h"
#include "text/jis.h"

#include <algorithm>
#include <optional>

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

constexpr std::string_view kJisWordStart = "=?ISO-2022-JP?B?";
constexpr std::string_view kWordEnd = "?=";

int Base64Value(char c) noexcept
{
    const char* const p = std::find(kBase64Alphabet, kBase64Alphabet + 64, c);
    return p == kBase64Alphabet + 64 ? -1 : static_cast<int>(p - kBase64Alphabet);
}

// Strict: whole groups of four, "=" only at the end.
std::optional<std::string> DecodeBase64(std::string_view text)
{
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const std::size_t pad = last ? (text[i + 3] == '=' ? (text[i + 2] == '=' ? 2 : 1) : 0) : 0;
        unsigned v = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int d = k < 4 - pad ? Base64Value(text[i + k]) : 0;
            if (d < 0) {
                return std::nullopt;
            }
            v = (v << 6) | static_cast<unsigned>(d);
        }
        out.push_back(static_cast<char>(v >> 16));
        if (pad < 2) {
            out.push_back(static_cast<char>((v >> 8) & 0xFF));
        }
        if (pad < 1) {
            out.push_back(static_cast<char>(v & 0xFF));
        }
    }
    return out;
}

std::size_t JisWordLength(std::size_t jisBytes) noexcept
{
    return kJisWordStart.size() + 4 * ((jisBytes + 2) / 3) + kWordEnd.size();
}

} // namespace

std::vector<std::string> SplitJisWord(std::string_view word, std::size_t firstRoom, std::size_t laterRoom)
{
    if (!word.starts_with(kJisWordStart) || !word.ends_with(kWordEnd)
        || word.size() < kJisWordStart.size() + kWordEnd.size()) {
        return {};
    }
    const std::optional<std::string> jis =
        DecodeBase64(word.substr(kJisWordStart.size(), word.size() - kJisWordStart.size() - kWordEnd.size()));
    if (!jis) {
        return {};
    }
    std::vector<std::string> words;
    std::string_view mode = kEscToAscii;    // the mode the text is in
    std::string run;                        // the word being filled, as ISO-2022-JP
    std::string_view runMode = kEscToAscii; // the mode run ends in
    const auto closed = [](std::string r, std::string_view m) {
        if (m != kEscToAscii) {
            r.append(kEscToAscii);
        }
        return r;
    };
    const auto flush = [&] {
        std::string w(kJisWordStart);
        AppendBase64(w, closed(run, runMode));
        w += kWordEnd;
        words.push_back(std::move(w));
        run.clear();
        runMode = kEscToAscii;
    };
    const std::string& s = *jis;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == '\x1b' && i + 3 <= s.size()) {
            const std::string_view esc(s.data() + i, 3);
            mode = esc == kEscToDoubleByte ? kEscToDoubleByte : esc == kEscToRoman ? kEscToRoman : kEscToAscii;
            i += 3;
            continue;
        }
        const std::size_t n = (mode == kEscToDoubleByte && i + 2 <= s.size()) ? 2 : 1;
        std::string candidate = run;
        if (mode != runMode) {
            candidate.append(mode);
        }
        candidate.append(s, i, n);
        const std::size_t room = std::min(words.empty() ? firstRoom : laterRoom, kMaxEncodedWord);
        if (!run.empty() && JisWordLength(closed(candidate, mode).size()) > room) {
            flush();
            continue; // the character starts the next word
        }
        run = std::move(candidate);
        runMode = mode;
        i += n;
    }
    if (!run.empty() || words.empty()) {
        flush();
    }
    return words;
}

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
