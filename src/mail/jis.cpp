#include "mail/jis.h"

#include "platform/sjis.h"

#include <array>
#include <cstring>

namespace kitemail {
namespace {

// Second JIS byte of the full-width form of 0xA1..0xDF.
constexpr std::array<unsigned char, 63> kHankakuSecond = {
    0x23, 0x56, 0x57, 0x22, 0x26, 0x72, 0x21, 0x23, 0x25, 0x27, 0x29, 0x63, 0x65, 0x67, 0x43, 0x3C,
    0x22, 0x24, 0x26, 0x28, 0x2A, 0x2B, 0x2D, 0x2F, 0x31, 0x33, 0x35, 0x37, 0x39, 0x3B, 0x3D, 0x3F,
    0x41, 0x44, 0x46, 0x48, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x52, 0x55, 0x58, 0x5B, 0x5E, 0x5F,
    0x60, 0x61, 0x62, 0x64, 0x66, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F, 0x73, 0x2B, 0x2C};

constexpr unsigned char kVoicedMark = 0xDE;
constexpr unsigned char kSemiVoicedMark = 0xDF;

unsigned char At(std::string_view s, std::size_t i) noexcept
{
    return static_cast<unsigned char>(s[i]);
}

void Append(std::string& out, JisCode code)
{
    out.push_back(static_cast<char>(code.first));
    out.push_back(static_cast<char>(code.second));
}

} // namespace

JisCode HankakuToJis(std::string_view text, std::size_t& pos) noexcept
{
    const unsigned char c = At(text, pos);
    const bool punctuation = c <= 0xA5 || c == 0xB0 || c == kVoicedMark || c == kSemiVoicedMark;
    JisCode code{static_cast<unsigned char>(punctuation ? 0x21 : 0x25), kHankakuSecond[c - 0xA1]};
    ++pos;
    if (pos >= text.size()) {
        return code;
    }
    const unsigned char mark = At(text, pos);
    if (mark == kVoicedMark) {
        if (c == 0xB3) { // U + voiced mark: VU
            ++pos;
            return {0x25, 0x74};
        }
        if ((c >= 0xB6 && c <= 0xC4) || (c >= 0xCA && c <= 0xCE)) {
            ++pos;
            code.second = static_cast<unsigned char>(code.second + 1);
        }
    } else if (mark == kSemiVoicedMark && c >= 0xCA && c <= 0xCE) {
        ++pos;
        code.second = static_cast<unsigned char>(code.second + 2);
    }
    return code;
}

std::string SjisToJis(std::string_view sjis)
{
    std::string out;
    out.reserve(sjis.size() + sjis.size() / 2 + 8);
    bool doubleByte = false;
    std::size_t i = 0;
    const std::size_t n = sjis.size();
    while (i < n) {
        const unsigned char c = At(sjis, i);
        if (c <= 0x7F) {
            if (doubleByte) {
                out.append(kEscToRoman);
                doubleByte = false;
            }
            std::size_t j = i + 1;
            while (j < n && At(sjis, j) <= 0x7F) {
                ++j;
            }
            out.append(sjis.data() + i, j - i);
            i = j;
            continue;
        }
        // A lead byte with nothing after it is an incomplete character that
        // no 7-bit form can carry; it is left out.
        const bool hankaku = sjis::IsHankakuKana(c);
        if (!hankaku && i + 1 >= n) {
            break;
        }
        if (!doubleByte) {
            out.append(kEscToDoubleByte);
            doubleByte = true;
        }
        if (hankaku) {
            Append(out, HankakuToJis(sjis, i));
        } else {
            Append(out, SjisCharToJis(c, At(sjis, i + 1)));
            i += 2;
        }
    }
    return out;
}

std::string JisToSjis(std::string_view jis)
{
    std::string out;
    out.reserve(jis.size());
    bool doubleByte = false;
    std::size_t i = 0;
    const std::size_t n = jis.size();
    while (i < n) {
        const unsigned char c = At(jis, i);
        if (c == 0x1B) {
            if (i + 1 < n) {
                const unsigned char m = At(jis, i + 1);
                if (m == '$') {
                    doubleByte = true;
                } else if (m == '(') {
                    doubleByte = false;
                }
            }
            // A truncated escape at the end is skipped whole.
            i = (n - i > 3) ? i + 3 : n;
            continue;
        }
        if (doubleByte) {
            if (i + 1 >= n) {
                break; // half a character: nothing to turn back
            }
            Append(out, JisCharToSjis(c, At(jis, i + 1)));
            i += 2;
        } else {
            const void* esc = std::memchr(jis.data() + i, 0x1B, n - i);
            const std::size_t end = esc ? static_cast<std::size_t>(static_cast<const char*>(esc) - jis.data()) : n;
            out.append(jis.data() + i, end - i);
            i = end;
        }
    }
    return out;
}

std::string NormalizeText(std::string_view sjis)
{
    return JisToSjis(SjisToJis(sjis));
}

} // namespace kitemail
