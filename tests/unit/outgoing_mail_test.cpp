// What the send run makes of a message before the mail component sees it.

#include "send/outgoing_mail.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

namespace kitemail {
namespace {

TEST(SplitSender, CommaSeparatesReplyTo)
{
    EXPECT_EQ(SplitSender("a@x.jp,b@y.jp").from, "a@x.jp");
    EXPECT_EQ(SplitSender("a@x.jp,b@y.jp").replyTo, "b@y.jp");
    EXPECT_EQ(SplitSender("a@x.jp").replyTo, "a@x.jp");
    EXPECT_EQ(SplitSender("a@x.jp,b,c").replyTo, "b,c");
}

TEST(RunSubject, PinFormAndSingleSpace)
{
    EXPECT_EQ(RunSubject(2, "1234", Sj("無視")), "#1234");
    EXPECT_EQ(RunSubject(2, "", "x"), " ");
    EXPECT_EQ(RunSubject(0, "1234", ""), " ");
    EXPECT_EQ(RunSubject(3, "", "Hi"), "Hi");
    EXPECT_EQ(EncodedSubject(" "), "=?ISO-2022-JP?B?IA==?=");
}

TEST(MailTextFor, DotStuffsAndEndsEveryLine)
{
    EXPECT_EQ(MailTextFor(""), "");
    EXPECT_EQ(MailTextFor(".\r\n..x\r\ny."), "..\r\n...x\r\ny.\r\n");
    EXPECT_EQ(MailTextFor("a\r\n\r\nb\r\n"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(MailTextFor("a\nb\rc"), "a\r\nb\r\nc\r\n");
}

TEST(MailTextFor, ClosesDoubleByteModeAtTheEnd)
{
    EXPECT_EQ(MailTextFor(Sj("漢")), "\x1b$B4A\x1b(B\r\n");
    EXPECT_EQ(MailTextFor(Sj("漢") + "\r\n"), "\x1b$B4A\x1b(J\r\n");
    // Half-width katakana become full-width: the text ends in double-byte mode.
    EXPECT_EQ(MailTextFor("a\xb6"), "a\x1b$B%+\x1b(B\r\n");
    // A trail byte in the ASCII range must not be taken for the end of the text.
    EXPECT_EQ(MailTextFor(Sj("ソ")), "\x1b$B%=\x1b(B\r\n");
}

TEST(MailHeaders, InOrder)
{
    const auto h = MailHeaders("20040305140709.00000001_a@x.jp", "b@y.jp");
    ASSERT_EQ(h.size(), 3u);
    EXPECT_EQ(h[0], "X-Mailer: Kitemail Pro Version 0.50");
    EXPECT_EQ(h[1], "Message-ID: <20040305140709.00000001_a@x.jp>");
    EXPECT_EQ(h[2], "Reply-To: b@y.jp");
}

TEST(CharactersOutsideJis, FindsVendorRowsThatWouldGoOutAsEightBit)
{
    EXPECT_TRUE(CharactersOutsideJis(Sj("漢字①㈱～ｶ abc")).empty()); // NEC row 13 stays 7-bit
    const std::string taka = "\xfb\xfc"; // IBM extension
    const std::string user = "\xf0\x40"; // user-defined area
    EXPECT_EQ(CharactersOutsideJis("a" + taka + Sj("は") + user + taka), (std::vector<std::string>{taka, user}));
    // A trail byte with a lead byte's value is not a character of its own.
    EXPECT_TRUE(CharactersOutsideJis("\x88\xf0").empty());
}

TEST(LongestLine, MeasuresTypedBytes)
{
    EXPECT_EQ(LongestLine(""), 0u);
    EXPECT_EQ(LongestLine(std::string(990, 'a') + "\r\nb"), 990u);
    EXPECT_EQ(LongestLine("b\r\n" + std::string(991, 'a')), 991u);
    EXPECT_EQ(LongestLine(Sj("漢字")), 4u);
}

} // namespace
} // namespace kitemail
