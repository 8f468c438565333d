#pragma once
// A text cut into its lines, whatever its line ends.

#include <string_view>
#include <vector>

namespace kitemail {

// The text's lines: a line ends at CR LF, a lone CR or a lone LF; a break
// at the very end starts no further line. Code page 932 and UTF-8 alike:
// neither uses the bytes of CR and LF inside a character.
[[nodiscard]] std::vector<std::string_view> TextLines(std::string_view text);

} // namespace kitemail
