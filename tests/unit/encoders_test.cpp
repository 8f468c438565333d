// Base64, encoded words, quoted-printable and uuencode, byte for byte.

#include "platform/text_codec.h"
#include "text/encoders.h"

#include <gtest/gtest.h>

namespace kitemail {
namespace {

TEST(EncodeBase64, PadsAndSizes)
{
    EXPECT_EQ(EncodeBase64(""), "");
    EXPECT_EQ(EncodeBase64("f"), "Zg==");
    EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
    EXPECT_EQ(EncodeBase64("foo"), "Zm9v");
    EXPECT_EQ(EncodeBase64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(EncodeBase64(std::string("\xff\xfe\x00", 3)), "//4A");
    for (std::size_t n = 0; n < 50; ++n) {
        EXPECT_EQ(EncodeBase64(std::string(n, 'x')).size(), 4 * ((n + 2) / 3));
    }
}

TEST(EncodeJisHeader, EncodesEachDoubleByteRun)
{
    EXPECT_EQ(EncodeJisHeader("abc"), "abc");
    // base64 of 1B 24 42 34 41
    EXPECT_EQ(EncodeJisHeader("a\x8a\xbf" "b"), "a=?ISO-2022-JP?B?GyRCNEE=?=b");
    EXPECT_EQ(EncodeJisHeader("\x8a\xbf"), "=?ISO-2022-JP?B?GyRCNEE=?=");
    // Two runs, half-width katakana copied as they are.
    EXPECT_EQ(EncodeJisHeader("\x8a\xbf \xb1\x8a\xbf"),
              "=?ISO-2022-JP?B?GyRCNEE=?= \xb1=?ISO-2022-JP?B?GyRCNEE=?=");
}

TEST(EncodeJisWord, IsOneWordForTheWholeText)
{
    EXPECT_EQ(EncodeJisWord("a\x8a\xbf"), "=?ISO-2022-JP?B?YRskQjRB?=");
}

TEST(EncodeQHeader, LeavesAsciiAloneAndEncodesTheRest)
{
    EXPECT_EQ(EncodeQHeader("a=b?c_d"), "a=b?c_d");
    EXPECT_EQ(EncodeQHeader("Ren\xe9 A=?_"), "=?ISO-8859-1?Q?Ren=E9_A=3D?_?=");
    EXPECT_EQ(EncodeQHeader("\x7f\x01\xff"), "=?ISO-8859-1?Q?=7F=01=FF?=");
}

TEST(EncodeHeaderLine, NeedsColonAndSpace)
{
    EXPECT_EQ(EncodeHeaderLine("X-Test:value"), "X-Test:value");
    EXPECT_EQ(EncodeHeaderLine("X-Test: value"), "X-Test: value  ");
    EXPECT_EQ(EncodeHeaderLine("X-Test: a: b"), "X-Test: a: b  ");
    EXPECT_EQ(EncodeHeaderLine("X: " + std::string(1200, 'v')), "X: " + std::string(999, 'v') + "  ");
}

TEST(QuotedPrintable, BreaksAfterColumnSeventyAndCarriesTheColumn)
{
    QuotedPrintableEncoder qp;
    std::string out;
    qp.Encode(std::string(100, 'a'), out);
    EXPECT_EQ(out, std::string(71, 'a') + "=\r\n" + std::string(29, 'a'));
    EXPECT_EQ(qp.Column(), 29);
    out.clear();
    qp.Encode("=", out);
    EXPECT_EQ(out, "=3D");
    EXPECT_EQ(qp.Column(), 32);
    qp.Reset();
    EXPECT_EQ(qp.Column(), 0);
}

TEST(QuotedPrintable, EncodesLineBreaksAndSpaces)
{
    QuotedPrintableEncoder qp;
    std::string out;
    qp.Encode("a b\r\n\xff", out);
    EXPECT_EQ(out, "a=20b=0D=0A=FF");
    // 24 escapes reach column 72: the break comes after the 24th.
    QuotedPrintableEncoder qp2;
    std::string out2;
    qp2.Encode(std::string(25, ' '), out2);
    std::string expected;
    for (int i = 0; i < 24; ++i) expected += "=20";
    expected += "=\r\n=20";
    EXPECT_EQ(out2, expected);
}

TEST(EncodeUuBlock, FillsTheLastGroupWithSpaces)
{
    std::string out;
    EncodeUuBlock("abc", out);
    EXPECT_EQ(out, "#86)C\r\n");
    out.clear();
    EncodeUuBlock("A", out);
    EXPECT_EQ(out, "!02 @\r\n");
    out.clear();
    EncodeUuBlock("", out);
    EXPECT_EQ(out, "");
}

TEST(EncodeUuBlock, FullLinesStartWithM)
{
    std::string out;
    EncodeUuBlock(std::string(kUuBlockSize, '\0'), out);
    // 40 lines of "M" + 60 spaces + CR LF: zero is the space character.
    std::string line = "M" + std::string(60, ' ') + "\r\n";
    std::string expected;
    for (int i = 0; i < 40; ++i) expected += line;
    EXPECT_EQ(out, expected);
    out.clear();
    EncodeUuBlock(std::string(47, '\0'), out);
    EXPECT_EQ(out, line + "\"   @\r\n"); // the filler byte is 0x20, not 0
}

} // namespace
} // namespace kitemail
