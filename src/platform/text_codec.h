#pragma once
// The boundary between the engine's code page 932 bytes and Qt's Unicode.

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

struct SjisEncoding {
    std::string bytes;
    // Characters that Shift_JIS cannot hold, in the order they appear. They
    // are left out of `bytes`; a caller must refuse or report them.
    std::vector<char32_t> unmappable;

    [[nodiscard]] bool ok() const noexcept { return unmappable.empty(); }
};

// Unicode to code page 932. Characters that Japanese input methods on Linux
// type in their Unicode forms (WAVE DASH, MINUS SIGN, ...) are taken as the
// Windows characters the user meant.
[[nodiscard]] SjisEncoding EncodeSjis(QStringView text);
[[nodiscard]] SjisEncoding Utf8ToSjis(std::string_view utf8);

// Code page 932 to Unicode; an invalid byte sequence shows as U+FFFD.
[[nodiscard]] QString DecodeSjis(std::string_view bytes);
[[nodiscard]] std::string SjisToUtf8(std::string_view bytes);

// The bytes of a code page 932 text that belong to no character (DecodeSjis
// shows each as U+FFFD), named for the user: "3行目 85 40, 5行目 FF", at most
// the first ten; empty when every byte decodes.
[[nodiscard]] std::string UndecodableSjisNames(std::string_view bytes);

// Whether every byte of bytes belongs to a code page 932 character.
[[nodiscard]] bool IsSjisText(std::string_view bytes);
// Whether bytes are well-formed UTF-8.
[[nodiscard]] bool IsUtf8Text(std::string_view bytes);

// A text of the program's own, written in UTF-8 in the source, as the
// code page 932 bytes the engine works with.
[[nodiscard]] std::string Sj(std::string_view utf8);

// "U+301C" style name of a code point, for error messages.
[[nodiscard]] std::string CodePointName(char32_t c);
// "U+1F600, U+2603": each character once, in the order first met.
[[nodiscard]] std::string CodePointNames(const std::vector<char32_t>& characters);

} // namespace kitemail
