#include "text/jis.h"

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

namespace {

// Output goes through a small local buffer first: appending byte by byte to a
// std::string costs more than the conversion itself.
class OutputBuffer {
public:
    explicit OutputBuffer(std::string& out) : out_(out) {}
    ~OutputBuffer() { Flush(); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    // Room for at least 8 more bytes.
    char* Reserve()
    {
        if (used_ + 8 > sizeof buf_) {
            Flush();
        }
        return buf_ + used_;
    }
    void Advance(std::size_t n) noexcept { used_ += n; }
    void Put(std::string_view bytes)
    {
        char* p = Reserve();
        std::memcpy(p, bytes.data(), bytes.size());
        used_ += bytes.size();
    }
    void Append(const char* data, std::size_t n)
    {
        if (n > 64) {
            Flush();
            out_.append(data, n);
            return;
        }
        while (n > 0) {
            const std::size_t m = n < 8 ? n : 8;
            std::memcpy(Reserve(), data, m);
            used_ += m;
            data += m;
            n -= m;
        }
    }
    void Flush()
    {
        out_.append(buf_, used_);
        used_ = 0;
    }

private:
    std::string& out_;
    std::size_t used_ = 0;
    char buf_[16384];
};


} // namespace

std::size_t SjisToJisConverter::Convert(std::string_view in, bool last, std::string& out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    // Input goes in blocks whose output always fits a local buffer (at most
    // 5 bytes per input byte: ESC $ B before a one-byte kana), so the loops
    // below write through a local pointer with no capacity checks.
    constexpr std::size_t kBlock = 4096;
    char buf[5 * kBlock + 16];
    bool doubleByte = doubleByte_;
    std::size_t i = 0;
    bool waitForMore = false;
    while (i < n && !waitForMore) {
        const std::size_t blockEnd = n - i > kBlock ? i + kBlock : n;
        char* o = buf;
        while (i < blockEnd) {
            unsigned char c = p[i];
            if (c <= 0x7F) {
                if (doubleByte) {
                    std::memcpy(o, kEscToRoman.data(), 3);
                    o += 3;
                    doubleByte = false;
                }
                do {
                    *o++ = static_cast<char>(c);
                    ++i;
                } while (i < blockEnd && (c = p[i]) <= 0x7F);
                continue;
            }
            if (i + 1 >= n) {
                if (!last) {
                    waitForMore = true; // the next piece decides: a trail byte or a sound mark
                    break;
                }
                // A lead byte with nothing after it is an incomplete character
                // that no 7-bit form can carry; it is left out.
                if (!sjis::IsHankakuKana(c)) {
                    i = n;
                    break;
                }
            }
            if (!doubleByte) {
                std::memcpy(o, kEscToDoubleByte.data(), 3);
                o += 3;
                doubleByte = true;
            }
            // A run of double-byte characters, the bulk of Japanese text.
            while (i + 1 < n && i < blockEnd) {
                c = p[i];
                if (c <= 0x7F || sjis::IsHankakuKana(c)) {
                    break;
                }
                const JisCode code = SjisCharToJis(c, p[i + 1]);
                o[0] = static_cast<char>(code.first);
                o[1] = static_cast<char>(code.second);
                o += 2;
                i += 2;
            }
            if (i < blockEnd && sjis::IsHankakuKana(p[i])) {
                if (i + 1 >= n && !last) {
                    waitForMore = true;
                    break;
                }
                const JisCode code = HankakuToJis(in, i);
                o[0] = static_cast<char>(code.first);
                o[1] = static_cast<char>(code.second);
                o += 2;
            }
        }
        out.append(buf, static_cast<std::size_t>(o - buf));
    }
    doubleByte_ = doubleByte;
    return i;
}

std::size_t JisToSjisConverter::Convert(std::string_view in, bool last, std::string& out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    out.reserve(out.size() + n);
    OutputBuffer buf(out);
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c == 0x1B) {
            if (n - i < 3 && !last) {
                break;
            }
            if (i + 1 < n) {
                if (p[i + 1] == '$') {
                    doubleByte_ = true;
                } else if (p[i + 1] == '(') {
                    doubleByte_ = false;
                }
            }
            // A truncated escape at the very end is skipped whole.
            i = (n - i > 3) ? i + 3 : n;
            continue;
        }
        if (doubleByte_) {
            if (i + 1 >= n) {
                if (last) {
                    i = n; // half a character: nothing to turn back
                }
                break;
            }
            const JisCode code = JisCharToSjis(c, p[i + 1]);
            char* o = buf.Reserve();
            o[0] = static_cast<char>(code.first);
            o[1] = static_cast<char>(code.second);
            buf.Advance(2);
            i += 2;
        } else {
            const void* esc = std::memchr(in.data() + i, 0x1B, n - i);
            const std::size_t end = esc ? static_cast<std::size_t>(static_cast<const char*>(esc) - in.data()) : n;
            buf.Append(in.data() + i, end - i);
            i = end;
        }
    }
    return i;
}

std::string SjisToJis(std::string_view sjis)
{
    std::string out;
    SjisToJisConverter().Convert(sjis, true, out);
    return out;
}

std::string JisToSjis(std::string_view jis)
{
    std::string out;
    JisToSjisConverter().Convert(jis, true, out);
    return out;
}

std::string NormalizeText(std::string_view sjis)
{
    return JisToSjis(SjisToJis(sjis));
}

} // namespace kitemail
