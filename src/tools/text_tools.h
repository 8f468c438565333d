#pragma once
// The text tools on the body: the diet (blanks and line breaks removed),
// vertical writing (one character per line) and the preview's rows at a
// phone's width. Code page 932 bytes with CR LF line breaks; the window and
// the command line both call these.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

// The diet's options, in the order they are applied; the defaults are the
// dialog's ticks at start.
struct DietOptions {
    bool leadingBlanks = false;  // "行前部の空白を削除": bytes 0x00..0x20 at a line's start
    bool trailingBlanks = true;  // "行後部の空白を削除": the same at its end
    bool innerSpaces = false;    // "文中の空白を削除": every ASCII space
    bool emptyLines = true;      // "空白の行を削除": empty lines but the last
    bool joinLines = false;      // "改行の削除": one line

    [[nodiscard]] bool Any() const noexcept
    {
        return leadingBlanks || trailingBlanks || innerSpaces || emptyLines || joinLines;
    }
    friend bool operator==(const DietOptions&, const DietOptions&) = default;
};

// Why the diet cannot run on body with options (the message the user is
// shown), or empty when it can.
[[nodiscard]] std::string DietRefusal(std::string_view body, const DietOptions& options);

// The body after the ticked options, applied in order to its lines (split
// at every CR LF, so a final break leaves an empty last line, which the
// empty-line step keeps). No byte below 0x21 belongs to a double-byte
// character, so the full-width space stays whatever is ticked.
[[nodiscard]] std::string DietText(std::string_view body, const DietOptions& options);

// Every character but CR and LF followed by CR LF, except the last one; a
// double-byte character is never split.
[[nodiscard]] std::string VerticalText(std::string_view body);

// The preview's column count: full-width characters per row.
inline constexpr std::int32_t kPreviewMinColumns = 6;
inline constexpr std::int32_t kPreviewMaxColumns = 20;
inline constexpr std::int32_t kPreviewDefaultColumns = 10;

// The text's lines, each cut into rows of at most 2 x columns
// bytes without splitting a double-byte character. columns is taken into
// the range above.
[[nodiscard]] std::vector<std::string> PreviewRows(std::string_view text, std::int32_t columns);

// The body as the preview shows it: converted to ISO-2022-JP and back, as
// it will be sent, then cut into rows, each followed by CR LF.
[[nodiscard]] std::string PreviewText(std::string_view body, std::int32_t columns);

} // namespace kitemail
