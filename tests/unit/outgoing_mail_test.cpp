// What the send run makes of a message before the mail component sees it
// (the body's wire form is in the golden pairs of mail_text), and the
// checks that refuse a value that would not go out as typed.

#include "golden.h"
#include "mail/outgoing_mail.h"
#include "platform/text_codec.h"
#include "send/send_checks.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kitemail {
namespace {

TEST(OutgoingMail, SenderSubjectHeadersEightBitCharactersAndLineLengths)
{
    EXPECT_EQ(SplitSender("a@x.jp,b@y.jp,c").from, "a@x.jp");
    EXPECT_EQ(SplitSender("a@x.jp,b@y.jp,c").replyTo, "b@y.jp,c");
    EXPECT_EQ(SplitSender("a@x.jp").replyTo, "a@x.jp");
    // The PIN type sends "#" and the PIN in place of a Subject; nothing at all is one space.
    EXPECT_EQ(RunSubject(TerminalType::SkyWalker, "1234", Sj("無視")), "#1234");
    EXPECT_EQ(RunSubject(TerminalType::SkyWalker, "", "x"), " ");
    EXPECT_EQ(RunSubject(TerminalType::VodafoneLongMail, "1234", ""), " ");
    EXPECT_EQ(RunSubject(TerminalType::IMode, "", "Hi"), "Hi");
    EXPECT_EQ(MailHeaders("20040305140709.00000001_a@x.jp", "b@y.jp"),
              (std::vector<std::string>{"X-Mailer: Kitemail Pro Version 0.50",
                                        "Message-ID: <20040305140709.00000001_a@x.jp>", "Reply-To: b@y.jp"}));
    // RFC 5322 3.3, English names whatever the locale, the weekday of the date.
    EXPECT_EQ(MailDate({2026, 12, 6, 22, 20, 46, 540}), "Sun, 06 Dec 2026 22:20:46 +0900");
    EXPECT_EQ(MailDate({2024, 2, 29, 0, 0, 5, -210}), "Thu, 29 Feb 2024 00:00:05 -0330");
    EXPECT_EQ(MailDate({2000, 1, 1, 9, 0, 0, 0}), "Sat, 01 Jan 2000 09:00:00 +0000");
    EXPECT_TRUE(CharactersOutsideJis(Sj("漢字①㈱～ｶ abc")).empty()); // NEC row 13 stays 7-bit
    const std::string taka = "\xfb\xfc"; // IBM extension
    const std::string user = "\xf0\x40"; // user-defined area
    EXPECT_EQ(CharactersOutsideJis("a" + taka + Sj("は") + user + taka), (std::vector<std::string>{taka, user}));
    EXPECT_TRUE(CharactersOutsideJis("\x88\xf0").empty()); // a trail byte with a lead byte's value
    EXPECT_EQ(LongestLine("b\r\n" + std::string(991, 'a') + "\nc"), 991u);
    EXPECT_EQ(LongestLine(Sj("漢字")), 4u);
    EXPECT_EQ(LongestWireLine(Sj("漢") + "a"), 9u); // ESC $ B, two bytes, ESC ( J, a
}

// The rows are tests/data/tables/send_checks.tsv.
class SendChecks : public ::testing::TestWithParam<test::TableRow> {};

TEST_P(SendChecks, RefuseNamingTheFieldOrPass)
{
    const test::TableRow& r = GetParam();
    const std::string check = r[0];
    const TerminalType type = r[1].empty() ? TerminalType::Unspecified : TerminalTypeFromNumber(r.Int(1));
    const std::string first = r.Sjis(2), second = r.Sjis(3), third = r.Sjis(4);
    const std::vector<std::string> attachments =
        r[5].empty() ? std::vector<std::string>{} : std::vector<std::string>{r.Sjis(5)};
    const std::optional<Refusal> refusal =
        check == "text"        ? CheckMessageText(first, second, {})
        : check == "part"      ? CheckPartLines({"ok", first})
        : check == "recipient" ? CheckRecipient({first, type, second, third})
        : check == "mail"      ? CheckMailValues({first, type, "", second}, third, attachments)
                               : CheckCommandValues(first, second);
    EXPECT_EQ(refusal ? SjisToUtf8(refusal->message) : "-", r[6]);
}

INSTANTIATE_TEST_SUITE_P(Rows, SendChecks, ::testing::ValuesIn(test::ReadTable("send_checks")), test::TableRowName());

// An attachment that is no regular file is refused before the send starts.
TEST(SendChecksOfFiles, AnAttachmentThatIsAPipe)
{
    const test::TempDir dir;
    const std::string pipe = (dir.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::optional<Refusal> refusal =
        CheckMailValues({"x@example.jp", TerminalType::VodafoneLongMail, "", "me@example.jp"}, "s", {pipe});
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(SjisToUtf8(refusal->message), pipe + " を開けません: 通常のファイルではありません");
}

} // namespace
} // namespace kitemail
