// What the send run makes of a message before the mail component sees it
// (the body's wire form is in the golden pairs of mail_text), and the
// checks that refuse a value that would not go out as typed.

#include "mail/outgoing_mail.h"
#include "platform/text_codec.h"
#include "send/send_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
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

// The bytes sent are the bytes typed, and no value adds a line or a
// parameter: each is refused, naming its field (the message box's words).
struct RefusedValue {
    const char* name;
    std::function<std::optional<Refusal>()> check;
    std::string message; // UTF-8
};

std::optional<Refusal> MailValues(std::string to, std::string sender = "me@example.jp,r@example.jp",
                            std::string subject = "s", std::vector<std::string> attachments = {})
{
    return CheckMailValues({std::move(to), TerminalType::VodafoneLongMail, "", std::move(sender)}, subject, attachments);
}

std::optional<Refusal> TypedText(const std::string& body, const std::string& subject = "s")
{
    return CheckMessageText(body, subject, {});
}

std::string Alternating() // 990 typed bytes, 4456 on the wire with an escape at each change
{
    std::string s;
    for (int i = 0; i < 495; ++i) {
        s += "\xb1" "a";
    }
    return s;
}

std::string PipePath()
{
    return (std::filesystem::temp_directory_path() / "kitemail_checks_pipe").string();
}

std::optional<Refusal> AttachedPipe()
{
    std::filesystem::remove(PipePath());
    EXPECT_EQ(::mkfifo(PipePath().c_str(), 0600), 0);
    std::optional<Refusal> refusal = MailValues("x@example.jp", "me@example.jp", "s", {PipePath()});
    std::filesystem::remove(PipePath());
    return refusal;
}

class SendChecks : public ::testing::TestWithParam<RefusedValue> {};

TEST_P(SendChecks, RefuseNamingTheField)
{
    const std::optional<Refusal> refusal = GetParam().check();
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(SjisToUtf8(refusal->message), GetParam().message);
}

const std::string kEnvelope = "に使えない文字（<、>、空白、制御文字）が含まれています。";
const std::string kControl = "に改行などの制御文字が含まれています。";
const std::string kOneMailbox = "がメールアドレス1つの形になっていません（カンマ、2つ目の@などは使えません）。";

INSTANTIATE_TEST_SUITE_P(
    Rows, SendChecks,
    ::testing::Values(
        RefusedValue{"LongTyped", [] { return TypedText(std::string(991, 'a')); },
                     "本文に991Byte以上の行が存在します。適切に改行してください。"},
        RefusedValue{"LongOnTheWire", [] { return TypedText(Alternating()); },
                     "本文に991Byte以上の行が存在します。適切に改行してください。"},
        RefusedValue{"LongPartOnTheWire", [] { return CheckPartLines({"ok", Alternating()}); },
                     "本文に991Byte以上の行が存在します。適切に改行してください。"},
        RefusedValue{"NulInTheBody", [] { return TypedText(std::string("before\0after", 12)); },
                     "本文にNUL文字（0x00）が含まれています。削除してください。"},
        RefusedValue{"VendorCharacterInTheSubject", [] { return TypedText("ok", "\xfb\xfc"); },
                     "ISO-2022-JPで送れない文字が含まれています: 髙 (U+9AD9)"},
        RefusedValue{"ShortPin", [] { return CheckRecipient({"x@example.jp", TerminalType::SkyWalker, "123", "me@example.jp"}); },
                     "PINコードが正しくありません。"},
        RefusedValue{"NoAddress", [] { return CheckRecipient({"", TerminalType::VodafoneLongMail, "", "me@example.jp"}); }, "宛先を設定してください。"},
        RefusedValue{"ParameterInTheAddress", [] { return MailValues("a@b.jp> NOTIFY=NEVER"); }, "宛先アドレス" + kEnvelope},
        RefusedValue{"LineBreakInTheAddress", [] { return MailValues("a@b.jp\r\nRCPT TO:<c@d.jp>"); },
                     "宛先アドレス" + kEnvelope},
        RefusedValue{"SpaceInTheSender", [] { return MailValues("x@example.jp", "me @example.jp"); },
                     "送信者アドレス" + kEnvelope},
        RefusedValue{"LineInTheReplyTo", [] { return MailValues("x@example.jp", "me@example.jp,r@example.jp\nBcc: x"); },
                     "返信先アドレス" + kControl},
        RefusedValue{"LineInTheSubject", [] { return MailValues("x@example.jp", "me@example.jp", "hi\r\nBcc: a@b.jp"); },
                     "Subject" + kControl},
        RefusedValue{"NulInTheSubject", [] { return MailValues("x@example.jp", "me@example.jp", std::string("a\0b", 3)); },
                     "Subject" + kControl},
        RefusedValue{"LineInTheSenderName", [] { return CheckCommandValues("Taro\nX-Evil: 1", "127.0.0.1"); },
                     "差出人名" + kControl},
        RefusedValue{"CarriageReturnInTheServer",
                     [] { return CheckCommandValues("", "127.0.0.1\rX-ktml-Result: Succeed"); },
                     "SMTPサーバー" + kControl},
        RefusedValue{"LineInAnAttachmentName",
                     [] { return MailValues("x@example.jp", "me@example.jp", "s", {"/tmp/a\nb.jpg"}); },
                     "添付ファイル名" + kControl},
        RefusedValue{"TwoAddressesInOne", [] { return MailValues("a@x.jp,b@y.jp"); }, "宛先アドレス" + kOneMailbox},
        RefusedValue{"SecondAtInTheSender", [] { return MailValues("x@example.jp", "me@x@example.jp"); },
                     "送信者アドレス" + kOneMailbox},
        RefusedValue{"AttachmentThatIsAPipe", AttachedPipe, PipePath() + " を開けません: 通常のファイルではありません"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SendChecksPass, WhatGoesOutAsTyped)
{
    EXPECT_FALSE(TypedText(std::string(990, 'a')));
    EXPECT_FALSE(MailValues("x@example.jp"));
    EXPECT_FALSE(CheckRecipient({"x@example.jp", TerminalType::SkyWalker, "1234", ""}));
    EXPECT_FALSE(CheckCommandValues(Sj("送信者"), "127.0.0.1"));
    // A type that sends no attachments does not look at them.
    EXPECT_FALSE(CheckMailValues({"x@example.jp", TerminalType::IMode, "", "me@example.jp"}, "s", {"/tmp/a\nb.jpg"}));
}

} // namespace
} // namespace kitemail
