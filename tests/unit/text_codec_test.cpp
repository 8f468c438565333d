// The Unicode boundary: what Shift_JIS cannot hold is reported, never
// replaced, and only the characters at fault are reported.

#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kitemail {
namespace {

struct EncodeCase {
    const char* name;
    std::string utf8;
    std::string bytes; // what is kept
    std::vector<char32_t> unmappable;
};

// Names the row in test listings instead of dumping its bytes.
void PrintTo(const EncodeCase& c, std::ostream* os)
{
    *os << c.name;
}

class Utf8ToSjisTable : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Utf8ToSjisTable, KeepsWhatFitsAndNamesTheRest)
{
    const SjisEncoding e = Utf8ToSjis(GetParam().utf8);
    EXPECT_EQ(e.bytes, GetParam().bytes);
    EXPECT_EQ(e.unmappable, GetParam().unmappable);
    EXPECT_EQ(e.ok(), GetParam().unmappable.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8ToSjisTable,
    ::testing::Values(
        EncodeCase{"Ascii", "abc\r\n", "abc\r\n", {}},
        EncodeCase{"Kanji", "漢", "\x8A\xBF", {}},
        EncodeCase{"HalfWidthKana", "ｱ", "\xB1", {}},
        EncodeCase{"VendorRows", "①髙", "\x87\x40\xFB\xFC", {}},
        // Input methods on Linux type these; the Windows forms are meant.
        EncodeCase{"WaveDashAndFriends", "〜−‖—¢£¬", "\x81\x60\x81\x7C\x81\x61\x81\x5C\x81\x91\x81\x92\x81\xCA", {}},
        EncodeCase{"EmojiAlone", "😀", "", {U'\U0001F600'}},
        // Characters after an unmappable one are still encoded and not blamed.
        EncodeCase{"EmojiBetweenText", "a😀b😀c", "abc", {U'\U0001F600', U'\U0001F600'}},
        EncodeCase{"LatinAccent", "caf\u00e9 ok", "caf ok", {U'\u00e9'}},
        EncodeCase{"TwoDifferent", "\u00e9漢😀", "\x8A\xBF", {U'\u00e9', U'\U0001F600'}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TextCodec, DecodeIsTheReverseOfEncode)
{
    const std::string text = "今日は①ｶﾞ abc〜";
    EXPECT_EQ(SjisToUtf8(Utf8ToSjis(text).bytes), "今日は①ｶﾞ abc～");
    EXPECT_EQ(CodePointName(U'\U0001F600'), "U+1F600");
    EXPECT_EQ(CodePointName(U'a'), "U+0061");
}

} // namespace
} // namespace kitemail
