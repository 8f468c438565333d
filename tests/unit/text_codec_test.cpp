// The Unicode boundary: what Shift_JIS cannot hold is reported, never
// replaced, and only the characters at fault are reported.

#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace kitemail {
namespace {

TEST(TextCodec, KeepsWhatFitsNamesTheRestAndDecodesBack)
{
    // Text; the bytes kept; the characters named.
    const std::vector<std::tuple<std::string, std::string, std::vector<char32_t>>> rows = {
        {"abc\r\n漢ｱ①髙", "abc\r\n\x8A\xBF\xB1\x87\x40\xFB\xFC", {}}, // vendor rows included
        // Input methods on Linux type these; the Windows forms are meant.
        {"〜−‖—¢£¬", "\x81\x60\x81\x7C\x81\x61\x81\x5C\x81\x91\x81\x92\x81\xCA", {}},
        // Characters after an unmappable one are still encoded and not blamed.
        {"a😀b😀c", "abc", {U'\U0001F600', U'\U0001F600'}},
        {"caf\u00e9 漢😀", "caf \x8A\xBF", {U'\u00e9', U'\U0001F600'}},
    };
    for (const auto& [utf8, bytes, unmappable] : rows) {
        const SjisEncoding e = Utf8ToSjis(utf8);
        EXPECT_EQ(e.bytes, bytes) << utf8;
        EXPECT_EQ(e.unmappable, unmappable) << utf8;
    }
    EXPECT_EQ(SjisToUtf8(Utf8ToSjis("今日は①ｶﾞ abc〜").bytes), "今日は①ｶﾞ abc～");
    EXPECT_EQ(CodePointName(U'\U0001F600'), "U+1F600");
    EXPECT_EQ(CodePointName(U'a'), "U+0061");
}

} // namespace
} // namespace kitemail
