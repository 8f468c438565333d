#pragma once
// Base64, MIME encoded words, quoted-printable and uuencode as the mail
// component writes them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

// RFC 2045 alphabet, "=" padding, no line breaks: 4 * ceil(n / 3) characters.
[[nodiscard]] std::string EncodeBase64(std::string_view bytes);
void AppendBase64(std::string& out, std::string_view bytes);

// Every maximal run of double-byte characters becomes one
// "=?ISO-2022-JP?B?...?=" word; all other bytes are copied unchanged.
[[nodiscard]] std::string EncodeJisHeader(std::string_view sjis);

// "=?ISO-2022-JP?B?" + base64 of the whole text in ISO-2022-JP + "?=".
[[nodiscard]] std::string EncodeJisWord(std::string_view sjis);

// RFC 2047 2: an encoded word is at most 75 characters, and a line that
// holds one at most 76.
inline constexpr std::size_t kMaxEncodedWord = 75;
inline constexpr std::size_t kMaxEncodedWordLine = 76;

// The text of one "=?ISO-2022-JP?B?...?=" word (as EncodeJisWord makes it)
// cut into several such words: the first at most firstRoom characters long,
// the others at most laterRoom (neither above kMaxEncodedWord). Each holds
// whole characters only and ends in ASCII, so each decodes on its own and
// their texts joined are the original's. Empty when word is not one such
// word.
[[nodiscard]] std::vector<std::string> SplitJisWord(std::string_view word, std::size_t firstRoom,
                                                    std::size_t laterRoom);

// A value with no byte above 0x7E is returned as it is; otherwise the whole
// value becomes one "=?ISO-8859-1?Q?...?=" word.
[[nodiscard]] std::string EncodeQHeader(std::string_view value);

// "Name: value" -> "Name: " + EncodeQHeader(first 999 bytes of value) + "  ".
// A line without ": " comes back unchanged.
[[nodiscard]] std::string EncodeHeaderLine(std::string_view line);

// The component's quoted-printable: every byte outside 0x21..0x7E, and "=",
// is written as =XX, so line breaks of the input never become real ones.
// The column runs on across calls; Reset() starts a new part.
class QuotedPrintableEncoder {
public:
    void Reset() noexcept { QpColumn = 0; }
    void Encode(std::string_view bytes, std::string& out);
    [[nodiscard]] std::int32_t Column() const noexcept { return QpColumn; }

private:
    std::int32_t QpColumn = 0;
};

// Uuencode with the space character for zero; 45 input bytes a line. Callers
// pass at most 1800 bytes at a time, so only a file's last line is short.
inline constexpr std::size_t kUuBlockSize = 1800;
void EncodeUuBlock(std::string_view bytes, std::string& out);

} // namespace kitemail
