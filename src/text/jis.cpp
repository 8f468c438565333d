#include "text/jis.h"

#include "platform/sjis.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

unsigned char ByteAt(std::string_view s, std::size_t i) noexcept
{
    return static_cast<unsigned char>(s[i]);
}

} // namespace

JisCode HankakuToJis(std::string_view text, std::size_t& pos) noexcept
{
    const unsigned char c = ByteAt(text, pos);
    const bool punctuation = c <= 0xA5 || c == 0xB0 || c == kVoicedMark || c == kSemiVoicedMark;
    JisCode code{static_cast<unsigned char>(punctuation ? 0x21 : 0x25), kHankakuSecond[c - 0xA1]};
    ++pos;
    if (pos >= text.size()) {
        return code;
    }
    const unsigned char mark = ByteAt(text, pos);
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

namespace {

// SjisCharToJis split into what the lead byte and what the trail byte
// decide, for every byte value, so that a character costs two lookups and
// no branch: first = row(lead) - down(trail), second = cell(trail).
struct SjisTables {
    std::array<unsigned char, 256> row{};
    std::array<unsigned char, 256> down{};
    std::array<unsigned char, 256> cell{};
    // A byte that starts a double-byte character in the converter's view:
    // 0x80 and above, half-width katakana aside.
    std::array<bool, 256> lead{};
};

constexpr SjisTables MakeSjisTables()
{
    SjisTables t;
    for (unsigned v = 0; v < 256; ++v) {
        const auto b = static_cast<unsigned char>(v);
        t.row[v] = SjisCharToJis(b, 0x9F).first;
        t.down[v] = static_cast<unsigned char>(SjisCharToJis(0x81, 0x9F).first - SjisCharToJis(0x81, b).first);
        t.cell[v] = SjisCharToJis(0x81, b).second;
        t.lead[v] = b > 0x7F && !sjis::IsHankakuKana(b);
    }
    return t;
}

constexpr SjisTables kSjis = MakeSjisTables();

constexpr bool TablesMatchTheArithmetic()
{
    for (unsigned lead = 0x80; lead < 256; ++lead) {
        for (unsigned trail = 0; trail < 256; ++trail) {
            const JisCode code = SjisCharToJis(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            if (code.first != static_cast<unsigned char>(kSjis.row[lead] - kSjis.down[trail])
                || code.second != kSjis.cell[trail]) {
                return false;
            }
        }
    }
    return true;
}
static_assert(TablesMatchTheArithmetic());

#if defined(__SSE2__)
// Thirty-two bytes at a time, for the runs that make up most of a text: most
// runs take one step, so the step that ends a run is foreseen. Each step
// stores 32 bytes of output and moves on by as many as belong to the run;
// output and input move in step, since a run of ASCII is copied and a
// double-byte character stays two bytes. The caller's buffer has room for
// the 32.

constexpr std::size_t kVector = 32;

// Copies the run of bytes below 0x80 at p; returns its length, at most n - 31.
std::size_t CopyAsciiRun(const unsigned char* p, std::size_t n, char* o) noexcept
{
    std::size_t i = 0;
    while (i + kVector <= n) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i + 16), b);
        const auto high = static_cast<std::uint32_t>(_mm_movemask_epi8(a))
            | static_cast<std::uint32_t>(_mm_movemask_epi8(b)) << 16;
        if (high != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(high));
        }
        i += kVector;
    }
    return i;
}

struct Converted {
    __m128i jis;
    std::uint32_t stops; // even offsets that hold no lead byte
};

// Eight characters (a lead byte at every even offset of v) in SjisCharToJis's
// arithmetic.
inline Converted ConvertEight(__m128i v) noexcept
{
    const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i leadLanes = _mm_set1_epi16(0x00FF);
    const __m128i x = _mm_xor_si128(v, flip); // unsigned order as signed
    // Trail below 0x9F: the row is one lower and the cell comes from the
    // first half of the code page's pair of rows.
    const __m128i trailLow = _mm_cmplt_epi8(x, _mm_set1_epi8(0x9F - 0x80));
    const __m128i trailHigh = _mm_cmplt_epi8(v, _mm_setzero_si128());
    const __m128i lowDelta = _mm_add_epi8(_mm_set1_epi8(static_cast<char>(0xE1)), trailHigh);
    const __m128i delta = _mm_or_si128(_mm_and_si128(trailLow, lowDelta),
                                       _mm_andnot_si128(trailLow, _mm_set1_epi8(static_cast<char>(0x82))));
    const __m128i cell = _mm_add_epi8(v, delta);
    // Row: 2 * lead + 0x20 below 0xA0, + 0xA0 above, less one for a low trail.
    const __m128i leadLow = _mm_cmplt_epi8(x, _mm_set1_epi8(0xA0 - 0x80));
    const __m128i base = _mm_xor_si128(_mm_set1_epi8(static_cast<char>(0xA0)), _mm_and_si128(leadLow, flip));
    const __m128i row = _mm_add_epi8(_mm_add_epi8(_mm_add_epi8(v, v), base), _mm_srli_si128(trailLow, 1));
    // A lead byte is 0x80 and up, half-width katakana aside.
    const __m128i kana =
        _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(0x20)), _mm_cmplt_epi8(x, _mm_set1_epi8(0x60)));
    const __m128i notLead = _mm_or_si128(_mm_cmplt_epi8(x, _mm_setzero_si128()), kana);
    return {_mm_or_si128(_mm_and_si128(leadLanes, row), _mm_andnot_si128(leadLanes, cell)),
            static_cast<std::uint32_t>(_mm_movemask_epi8(notLead)) & 0x5555u};
}

// Converts the run of double-byte characters at p, sixteen at a time;
// returns the bytes used, an even number.
std::size_t ConvertDoubleByteRun(const unsigned char* p, std::size_t n, char* o) noexcept
{
    std::size_t i = 0;
    while (i + kVector <= n) {
        const Converted a = ConvertEight(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        const Converted b = ConvertEight(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i), a.jis);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i + 16), b.jis);
        const std::uint32_t stops = a.stops | b.stops << 16;
        if (stops != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(stops));
        }
        i += kVector;
    }
    return i;
}
#else
constexpr std::size_t kVector = 0;
std::size_t CopyAsciiRun(const unsigned char*, std::size_t, char*) noexcept { return 0; }
std::size_t ConvertDoubleByteRun(const unsigned char*, std::size_t, char*) noexcept { return 0; }
#endif

} // namespace

SjisToJisConverter::Step SjisToJisConverter::ConvertInto(std::string_view in, bool last, char* out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    bool doubleByte = doubleByte_;
    std::size_t i = 0;
    char* o = out;
    while (i < n) {
        unsigned char c = p[i];
        if (c <= 0x7F) {
            if (doubleByte) {
                std::memcpy(o, kEscToRoman.data(), 3);
                o += 3;
                doubleByte = false;
            }
            const std::size_t copied = CopyAsciiRun(p + i, n - i, o);
            o += copied;
            i += copied;
            while (i < n && (c = p[i]) <= 0x7F) {
                *o++ = static_cast<char>(c);
                ++i;
            }
            continue;
        }
        if (i + 1 >= n) {
            if (!last) {
                break; // the next piece decides: a trail byte or a sound mark
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
        if (kSjis.lead[c]) {
            const std::size_t converted = ConvertDoubleByteRun(p + i, n - i, o);
            o += converted;
            i += converted;
        }
        while (i + 1 < n && kSjis.lead[c = p[i]]) {
            const unsigned char t = p[i + 1];
            o[0] = static_cast<char>(kSjis.row[c] - kSjis.down[t]);
            o[1] = static_cast<char>(kSjis.cell[t]);
            o += 2;
            i += 2;
        }
        if (i < n && sjis::IsHankakuKana(p[i])) {
            if (i + 1 >= n && !last) {
                break;
            }
            const JisCode code = HankakuToJis(in, i);
            o[0] = static_cast<char>(code.first);
            o[1] = static_cast<char>(code.second);
            o += 2;
        }
    }
    doubleByte_ = doubleByte;
    return {i, static_cast<std::size_t>(o - out)};
}

std::size_t SjisToJisConverter::Convert(std::string_view in, bool last, std::string& out)
{
    // In blocks whose output fits a buffer on the stack.
    constexpr std::size_t kBlock = 16384;
    char buf[MaxOutput(kBlock)];
    std::size_t used = 0;
    while (used < in.size()) {
        const std::size_t size = std::min(kBlock, in.size() - used);
        const bool end = used + size == in.size();
        const Step step = ConvertInto(in.substr(used, size), end && last, buf);
        out.append(buf, step.written);
        used += step.used;
        if (end && step.used < size) {
            break; // waits for the next piece
        }
    }
    return used;
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
