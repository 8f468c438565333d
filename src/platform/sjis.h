#pragma once
// Code page 932 byte classes: the stand-in for the platform's lead-byte test.

#include <cstddef>
#include <string_view>

namespace kitemail::sjis {

[[nodiscard]] constexpr bool IsLeadByte(unsigned char b) noexcept
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

[[nodiscard]] constexpr bool IsLeadByte(char c) noexcept
{
    return IsLeadByte(static_cast<unsigned char>(c));
}

// Half-width katakana and punctuation, a single byte on their own.
[[nodiscard]] constexpr bool IsHankakuKana(unsigned char b) noexcept
{
    return b >= 0xA1 && b <= 0xDF;
}

[[nodiscard]] constexpr bool IsHankakuKana(char c) noexcept
{
    return IsHankakuKana(static_cast<unsigned char>(c));
}

// ASCII letters only: Windows file and key names ignore their case, and any
// other byte (a trail byte among them) compares exactly.
[[nodiscard]] constexpr char AsciiLower(char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

[[nodiscard]] constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

[[nodiscard]] constexpr bool EndsWithIgnoringAsciiCase(std::string_view s, std::string_view suffix) noexcept
{
    return s.size() >= suffix.size() && EqualsIgnoringAsciiCase(s.substr(s.size() - suffix.size()), suffix);
}

enum class ByteClass { Single, Lead, Trail };

// Class of the byte at index i, found by walking the text from its start.
// A lead byte as the very last byte counts as a lead with no trail.
[[nodiscard]] ByteClass ClassAt(std::string_view text, std::size_t i) noexcept;

// True when the text's last byte is the trail byte of a double-byte character.
[[nodiscard]] bool EndsWithDoubleByte(std::string_view text) noexcept;

// The text's first max bytes at most, never ending inside a character.
[[nodiscard]] std::string_view CutToWholeCharacters(std::string_view text, std::size_t max) noexcept;

} // namespace kitemail::sjis
