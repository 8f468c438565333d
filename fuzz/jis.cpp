// Shift_JIS -> ISO-2022-JP -> Shift_JIS, whole and streamed. The converters
// read only the bytes they are given; converting in pieces of any sizes
// gives the whole conversion; well-formed text comes back as the counter
// assumes: each half-width kana (with a sound mark it takes) as one
// full-width character, everything else as it was.

#include "fuzz_support.h"
#include "platform/sjis.h"
#include "text/jis.h"

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace kitemail;

// What a converter may hold back for the next piece: a lead byte or a kana
// waiting for its sound mark, or an escape cut after two bytes.
constexpr std::size_t kMaxHeldBack = 2;

// Feeds the text in pieces of the sizes `next` gives (0 included), each call
// seeing the held-back bytes and the new piece in a heap block of exactly
// their size, so that a read past them is an AddressSanitizer finding.
template <class Converter>
std::string Stream(std::string_view text, const std::function<std::size_t()>& next)
{
    Converter converter;
    std::string out;
    std::string pending;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t take = std::min(next(), text.size() - pos);
        pending.append(text.substr(pos, take));
        pos += take;
        const bool last = pos == text.size();
        const auto block = std::make_unique<char[]>(pending.size());
        std::memcpy(block.get(), pending.data(), pending.size());
        const std::size_t used = converter.Convert({block.get(), pending.size()}, last, out);
        FUZZ_CHECK(used <= pending.size());
        if (last) {
            FUZZ_CHECK(used == pending.size());
            return out;
        }
        pending.erase(0, used);
        FUZZ_CHECK(pending.size() <= kMaxHeldBack);
    }
}

// Piece sizes: every byte alone, small runs, and a pseudo-random mix drawn
// from the text itself so that each input has its own cuts.
std::vector<std::function<std::size_t()>> Cuttings(std::string_view text)
{
    std::uint32_t seed = 2166136261u;
    for (const char c : text) {
        seed = (seed ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return {[] { return std::size_t{1}; }, [] { return std::size_t{3}; },
            [seed]() mutable {
                seed = seed * 1103515245u + 12345u;
                return std::size_t{(seed >> 16) % 8}; // 0 too: a call with nothing new
            }};
}

bool IsCleanTrail(unsigned char t)
{
    return t >= 0x40 && t <= 0xFC && t != 0x7F;
}

// The text with its half-width kana in full width, for well-formed text
// (ASCII but ESC, double-byte pairs with a valid trail, half-width kana);
// nullopt for any other. `sevenBit` tells whether every pair lies in the
// rows of JIS X 0208, whose ISO-2022-JP form is 7-bit.
std::optional<std::string> Folded(std::string_view text, bool& sevenBit)
{
    std::string out;
    sevenBit = true;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80 && c != 0x1B) {
            out += text[i++];
        } else if (sjis::IsHankakuKana(c)) {
            const JisCode jis = HankakuToJis(text, i);
            const JisCode full = JisCharToSjis(jis.first, jis.second);
            FUZZ_CHECK(sjis::IsLeadByte(full.first) && IsCleanTrail(full.second));
            out += static_cast<char>(full.first);
            out += static_cast<char>(full.second);
        } else if (sjis::IsLeadByte(c) && i + 1 < text.size() && IsCleanTrail(static_cast<unsigned char>(text[i + 1]))) {
            sevenBit = sevenBit && c <= 0xEF;
            out.append(text.substr(i, 2));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = kitemail::fuzz::Bytes(data, size);
    const std::string jis = SjisToJis(text);
    const std::string back = JisToSjis(jis);
    // Any bytes read as ISO-2022-JP, as a received or hand-made text would be.
    const std::string raw = JisToSjis(text);
    for (const auto& cut : Cuttings(text)) {
        FUZZ_CHECK(Stream<SjisToJisConverter>(text, cut) == jis);
        FUZZ_CHECK(Stream<JisToSjisConverter>(jis, cut) == back);
        FUZZ_CHECK(Stream<JisToSjisConverter>(text, cut) == raw);
    }
    FUZZ_CHECK(NormalizeText(text) == back);

    bool sevenBit = false;
    if (const std::optional<std::string> folded = Folded(text, sevenBit)) {
        FUZZ_CHECK(back == *folded);
        if (sevenBit) {
            for (const char c : jis) {
                FUZZ_CHECK(static_cast<unsigned char>(c) < 0x80);
            }
        }
    }
    return 0;
}
