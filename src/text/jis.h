#pragma once
// Shift_JIS <-> ISO-2022-JP (RFC 1468) conversion of the body and headers.
//
// SjisToJis writes only ESC $ B and ESC ( J, turns half-width katakana into
// their full-width forms and never closes the text with a return escape.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kitemail {

struct JisCode {
    unsigned char first;
    unsigned char second;
    friend bool operator==(const JisCode&, const JisCode&) = default;
};

inline constexpr std::string_view kEscToDoubleByte = "\x1b$B";
inline constexpr std::string_view kEscToRoman = "\x1b(J";
inline constexpr std::string_view kEscToAscii = "\x1b(B";

// The arithmetic of the code page; nothing is validated.
[[nodiscard]] constexpr JisCode SjisCharToJis(unsigned char lead, unsigned char trail) noexcept
{
    auto h = static_cast<unsigned char>(lead < 0xA0 ? 2 * (lead - 0x70) : 2 * (lead - 0xB0));
    unsigned char t;
    if (trail < 0x9F) {
        h = static_cast<unsigned char>(h - 1);
        t = static_cast<unsigned char>(trail > 0x7F ? trail - 0x20 : trail - 0x1F);
    } else {
        t = static_cast<unsigned char>(trail - 0x7E);
    }
    return {h, t};
}

[[nodiscard]] constexpr JisCode JisCharToSjis(unsigned char j1, unsigned char j2) noexcept
{
    unsigned char t;
    if ((j1 & 1) == 0) {
        t = static_cast<unsigned char>(j2 + 0x7E);
    } else {
        t = static_cast<unsigned char>(j2 <= 0x5F ? j2 + 0x1F : j2 + 0x20);
    }
    const auto base = static_cast<unsigned char>((static_cast<unsigned char>(j1 + 1)) >> 1);
    const auto h = static_cast<unsigned char>(base + (j1 < 0x5F ? 0x70 : 0xB0));
    return {h, t};
}

// The half-width katakana at text[pos] (0xA1..0xDF) as its full-width JIS
// code; a following voiced or semi-voiced sound mark that combines with it is
// consumed too. pos is moved past what was used.
[[nodiscard]] JisCode HankakuToJis(std::string_view text, std::size_t& pos) noexcept;

[[nodiscard]] std::string SjisToJis(std::string_view sjis);
[[nodiscard]] std::string JisToSjis(std::string_view jis);

// The same conversions over a text that arrives in pieces. Convert() uses as
// much of `in` as can be decided and returns how many bytes that was; unless
// `last` is set, a character that needs the following bytes (a lead byte, a
// half-width kana that may take a sound mark, part of an escape) is left for
// the next call, which must start with the unused bytes. The output is byte
// for byte the output of converting the whole text at once.
class SjisToJisConverter {
public:
    std::size_t Convert(std::string_view in, bool last, std::string& out);

    // The same into a buffer of the caller's with room for
    // MaxOutput(in.size()) bytes: ESC $ B before a one-byte kana makes five
    // of one, and the converter writes up to 64 bytes ahead of its output.
    struct Step {
        std::size_t used;    // of in
        std::size_t written; // to out
    };
    [[nodiscard]] static constexpr std::size_t MaxOutput(std::size_t inBytes) noexcept { return 5 * inBytes + 64; }
    Step ConvertInto(std::string_view in, bool last, char* out);
    // True when the output so far ends in double-byte mode.
    [[nodiscard]] bool InDoubleByteMode() const noexcept { return doubleByte_; }

private:
    bool doubleByte_ = false;
};

class JisToSjisConverter {
public:
    std::size_t Convert(std::string_view in, bool last, std::string& out);

private:
    bool doubleByte_ = false;
};

// JisToSjis(SjisToJis(text)): the text as the receiving phone sees it.
[[nodiscard]] std::string NormalizeText(std::string_view sjis);

} // namespace kitemail
