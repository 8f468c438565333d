// The Unicode boundary: what Shift_JIS cannot hold is reported, never
// replaced, and only the characters at fault are reported.

#include "golden.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace kitemail {
namespace {

using Utf8ToSjisRow = ::testing::TestWithParam<test::TableRow>;

TEST_P(Utf8ToSjisRow, KeepsWhatFitsAndNamesTheRest)
{
    const SjisEncoding e = Utf8ToSjis(GetParam()[0]);
    EXPECT_EQ(e.bytes, GetParam()[1]);
    std::string named;
    for (const char32_t c : e.unmappable) {
        named += (named.empty() ? "" : " ") + CodePointName(c);
    }
    EXPECT_EQ(named, GetParam()[2]);
}

INSTANTIATE_TEST_SUITE_P(Rows, Utf8ToSjisRow, ::testing::ValuesIn(test::ReadTable("utf8_to_sjis")),
                         test::TableRowName());

TEST(TextCodec, DecodesBackAndNamesCodePoints)
{
    EXPECT_EQ(SjisToUtf8(Utf8ToSjis("今日は①ｶﾞ abc〜").bytes), "今日は①ｶﾞ abc～");
    EXPECT_EQ(CodePointName(U'\U0001F600'), "U+1F600");
    EXPECT_EQ(CodePointName(U'a'), "U+0061");
}

} // namespace
} // namespace kitemail
