// The road of a message from "送信" to the history folder, against a real
// SMTP server (and a real POP3 server for POP before SMTP), with a scripted
// user.

#include "accounting/message_composer.h"
#include "dovecot_server.h"
#include "file_bytes.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"
#include "qt_app.h"
#include "scripted_peer.h"
#include "scripted_ui.h"
#include "send/send_workflow.h"
#include "settings/settings.h"
#include "smtp_sink.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace kitemail {
namespace {

class RecordingView : public SendView {
public:
    void SetMainPanelEnabled(bool enabled) override { panelEnabled = enabled; }
    void SetAbortButtonVisible(bool visible) override { abortVisible = visible; }
    bool ReviewSplit(const std::string&, const std::vector<std::string>& parts) override
    {
        reviewedParts = parts;
        ++reviews;
        return acceptSplit;
    }
    std::string SenderBoxText() const override { return "box@example.jp"; }
    bool TestSwitch() const override { return testSwitch; }
    void TestMail(const OutgoingMail& mail) override { testMails.push_back(mail); }

    bool panelEnabled = true;
    bool abortVisible = false;
    bool acceptSplit = true;
    int reviews = 0;
    std::vector<std::string> reviewedParts;
    bool testSwitch = false;
    std::vector<OutgoingMail> testMails;
};

using test::ReadBytes;

// Header lines go out with two trailing blanks, and a mail reader shows the
// body with its own line ends; compare what a reader would show.
std::string Subject(const QJsonObject& mail)
{
    std::string s = mail["subject"].toString().toStdString();
    while (s.ends_with(' ')) {
        s.pop_back();
    }
    return s;
}

std::string BodyText(const QJsonObject& mail)
{
    std::string s = mail["body"].toString().toStdString();
    std::erase(s, '\r');
    while (s.ends_with('\n')) {
        s.pop_back();
    }
    return s;
}

class SendWorkflowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test::EnsureCoreApplication();
        sink_ = std::make_unique<test::SmtpSink>();
        ASSERT_TRUE(sink_->Start()) << sink_->Error();
    }
    static void TearDownTestSuite() { sink_.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        settings_.Server = "127.0.0.1";
        settings_.Port = sink_->Port();
        settings_.SenderList = {"me@example.jp,reply@example.jp", "second@example.jp"};
        settings_.SenderAddress = settings_.SenderList.front();
        settings_.BeepOnMessage = false;
        baseline_ = sink_->WaitForMessages(0, std::chrono::milliseconds(0));
        composer_.ApplyTerminalType(0);
        workflow_.SendMail1().ReplyTimeout = std::chrono::seconds(10);
    }

    void Type(TextArea area, const std::string& utf8)
    {
        using Setter = void (MessageComposer::*)(ComposedText);
        static const Setter setters[] = {&MessageComposer::SetBody, &MessageComposer::SetSubject,
                                         &MessageComposer::SetPin, &MessageComposer::SetDirectAddress};
        (composer_.*setters[static_cast<int>(area)])(ComposedText{Sj(utf8), {}});
    }

    // A send has returned only after the server accepted the message, so
    // what is stored by then is all there is.
    int NewMessages(int expected)
    {
        return sink_->WaitForMessages(baseline_ + expected, std::chrono::milliseconds(200)) - baseline_;
    }

    static std::string Lines(int count, char c)
    {
        std::string body;
        for (int i = 0; i < count; ++i) {
            body += std::string(48, c) + "\r\n";
        }
        return body;
    }

    QJsonObject Stored(int n) { return test::ParseStoredMail(sink_->MessagePath(baseline_ + n)); }

    std::vector<std::filesystem::path> HistoryFiles() const
    {
        std::vector<std::filesystem::path> files;
        if (std::filesystem::exists(historyDir_)) {
            for (const auto& e : std::filesystem::directory_iterator(historyDir_)) {
                files.push_back(e.path());
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    static inline std::unique_ptr<test::SmtpSink> sink_;
    int baseline_ = 0;
    QTemporaryDir dir_;
    std::filesystem::path historyDir_ = std::filesystem::path(dir_.path().toStdString()) / "mail";
    Settings settings_;
    test::ScriptedUserInterface ui_;
    RecordingView view_;
    MessageComposer composer_{settings_, ui_};
    SendWorkflow workflow_{settings_, composer_, ui_, view_, historyDir_};
};

TEST_F(SendWorkflowTest, DirectSendDeliversAndRecordsHistory)
{
    Type(TextArea::DirectAddress, "taro@example.jp");
    Type(TextArea::Subject, "こんにちは");
    Type(TextArea::Body, "本文です。\r\n.dot line\r\nｶﾞｷﾞ");
    workflow_.Send1Click();

    ASSERT_EQ(NewMessages(1), 1);
    const QJsonObject mail = Stored(1);
    EXPECT_EQ(Subject(mail), "こんにちは");
    EXPECT_EQ(BodyText(mail), "本文です。\n.dot line\nガギ");
    const std::string raw = sink_->MessageBytes(baseline_ + 1);
    EXPECT_NE(raw.find("Reply-To: reply@example.jp"), std::string::npos);
    EXPECT_NE(raw.find("X-Mailer: Kitemail Pro Version 0.50"), std::string::npos);
    EXPECT_EQ(sink_->Envelope(baseline_ + 1)["mail_from"].toString(), "me@example.jp");
    EXPECT_FALSE(workflow_.RefusedOrAborted);
    EXPECT_EQ(workflow_.FailedMailsThisCommand, 0);

    EXPECT_EQ(ui_.statusTexts.back(), Sj("送信完了：エラーはありません。"));
    EXPECT_EQ(ui_.messages.back(), Sj("送信完了しました。"));
    EXPECT_TRUE(view_.panelEnabled);
    EXPECT_FALSE(view_.abortVisible);

    const auto files = HistoryFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string record = ReadBytes(files[0]);
    EXPECT_TRUE(record.starts_with("To: taro@example.jp\r\nDate: "));
    EXPECT_NE(record.find("\r\nSubject: " + Sj("こんにちは") + "\r\nFrom: me@example.jp\r\n"), std::string::npos);
    EXPECT_NE(record.find("\r\nX-ktml-Server: 127.0.0.1\r\n"), std::string::npos);
    EXPECT_NE(record.find("\r\nX-ktml-Result: Succeed\r\n"), std::string::npos);
    EXPECT_TRUE(record.ends_with("\r\n\r\n" + Sj("本文です。\r\n.dot line\r\nｶﾞｷﾞ") + "\r\n"));
    EXPECT_EQ(files[0].filename().string().substr(0, 14), workflow_.MessageId.substr(0, 14));
}

TEST_F(SendWorkflowTest, AddressBookSendUsesEachEntrysTypeAndSender)
{
    composer_.SetCheckListLines({"A,a@example.jp,,3,0", "B,b@example.jp,,0,1", "C,c@example.jp,,6,-1",
                                 "D,d@example.jp,,0,0"});
    composer_.SelectAddressBookMode();
    for (int i : {0, 1, 2}) {
        composer_.SetTick(i, true);
    }
    Type(TextArea::Body, "hello");
    Type(TextArea::Subject, "s");
    workflow_.Send1Click();

    ASSERT_EQ(NewMessages(3), 3);
    EXPECT_EQ(sink_->Envelope(baseline_ + 1)["mail_from"].toString(), "me@example.jp");
    EXPECT_EQ(sink_->Envelope(baseline_ + 1)["rcpt_tos"].toArray().first().toString(), "a@example.jp");
    EXPECT_EQ(sink_->Envelope(baseline_ + 2)["mail_from"].toString(), "second@example.jp");
    EXPECT_EQ(sink_->Envelope(baseline_ + 3)["mail_from"].toString(), "box@example.jp");
    EXPECT_EQ(NewMessages(4), 3); // D was not ticked
    // Afterwards the direct address is empty and the type box shows the default again.
    EXPECT_TRUE(composer_.Text(TextArea::DirectAddress).bytes.empty());
    EXPECT_EQ(composer_.TypeBoxIndex(), settings_.DefaultType);
    const auto files = HistoryFiles();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_NE(ReadBytes(files[0]).find("X-ktml-PhoneType: EZweb@mail\r\n"), std::string::npos);
}

TEST_F(SendWorkflowTest, OverLimitMessageSplitsIntoNumberedParts)
{
    Type(TextArea::DirectAddress, "taro@example.jp");
    std::string body;
    for (int i = 0; i < 60; ++i) {
        body += "行" + std::to_string(i) + "：あいうえおかきくけこ\r\n";
    }
    Type(TextArea::Body, body);
    Type(TextArea::Subject, "s");
    composer_.ApplyTerminalType(3); // 500 bytes
    ui_.yesNoCancelAnswers.push_back(YesNoCancel::Yes);
    workflow_.Send1Click();

    ASSERT_EQ(view_.reviews, 1);
    const int n = static_cast<int>(view_.reviewedParts.size());
    ASSERT_GE(n, 3);
    ASSERT_EQ(NewMessages(n), n);
    std::string joined;
    for (int i = 1; i <= n; ++i) {
        const std::string text = BodyText(Stored(i));
        const std::string prefix = "[" + std::to_string(i) + "/" + std::to_string(n) + "]";
        ASSERT_TRUE(text.starts_with(prefix)) << text;
        joined += text.substr(prefix.size());
    }
    // A cut may fall between CR and LF, or just after a line break.
    std::string expected = body;
    std::erase(expected, '\r');
    std::erase(expected, '\n');
    std::erase(joined, '\n');
    EXPECT_EQ(joined, expected);
    EXPECT_EQ(ui_.statusTexts.back(), Sj("送信完了：エラーはありません。"));
}

TEST_F(SendWorkflowTest, PartNumbersCanGoIntoTheSubject)
{
    settings_.PartNumberInSubject = true;
    settings_.AutoSplitOnOverflow = true;
    Type(TextArea::DirectAddress, "taro@example.jp");
    Type(TextArea::Subject, "件名");
    std::string body = Lines(20, 'x');
    Type(TextArea::Body, body);
    composer_.ApplyTerminalType(3);
    workflow_.Send1Click();
    EXPECT_EQ(view_.reviews, 0); // automatic split: no viewer
    ASSERT_EQ(NewMessages(3), 3);
    std::string joined;
    for (int i = 1; i <= 3; ++i) {
        const QJsonObject mail = Stored(i);
        EXPECT_EQ(Subject(mail), "[" + std::to_string(i) + "/3]件名");
        joined += BodyText(mail);
    }
    std::erase(joined, '\n');
    std::erase(body, '\r');
    std::erase(body, '\n');
    EXPECT_EQ(joined, body);
}

TEST_F(SendWorkflowTest, CancelledSplitSendsNothing)
{
    view_.acceptSplit = false;
    Type(TextArea::DirectAddress, "taro@example.jp");
    Type(TextArea::Body, Lines(20, 'x'));
    Type(TextArea::Subject, "s");
    composer_.ApplyTerminalType(3);
    ui_.yesNoCancelAnswers.push_back(YesNoCancel::Yes);
    workflow_.Send1Click();
    EXPECT_EQ(view_.reviews, 1);
    EXPECT_EQ(NewMessages(1), 0);
    EXPECT_TRUE(workflow_.SendAborted);
    EXPECT_TRUE(workflow_.RefusedOrAborted);
    EXPECT_TRUE(HistoryFiles().empty());
}

TEST_F(SendWorkflowTest, ChecksRefuseInOrder)
{
    settings_.CheckBeforeSend = true;
    ui_.confirmAnswers.push_back(false); // empty body: do not send
    workflow_.Send1Click();
    EXPECT_EQ(ui_.questions.back().text, Sj("本文が入力されていません。このまま送信しますか？"));
    EXPECT_TRUE(workflow_.RefusedOrAborted);

    Type(TextArea::Body, std::string(991, 'a'));
    workflow_.Send1Click();
    EXPECT_EQ(ui_.messages.back(), Sj("本文に991Byte以上の行が存在します。適切に改行してください。"));

    Type(TextArea::Body, std::string(990, 'a'));
    workflow_.Send1Click();
    EXPECT_EQ(ui_.messages.back(), Sj("メールアドレスを入力してください。"));

    Type(TextArea::DirectAddress, "x@example.jp");
    composer_.TypeBoxChanged(2);
    Type(TextArea::Pin, "123");
    workflow_.Send1Click();
    EXPECT_EQ(ui_.messages.back(), Sj("PINコードが正しくありません。"));

    Type(TextArea::Pin, "1234");
    settings_.Server.clear();
    workflow_.Send1Click();
    EXPECT_EQ(ui_.messages.back(), Sj("SMTPサーバを設定してください。"));
    EXPECT_EQ(ui_.statusTexts.back(), Sj("Server: エラー：SMTPサーバーを設定してください。"));
    EXPECT_EQ(NewMessages(1), 0);

    // A vendor character would put 8-bit bytes into the 7-bit mail.
    Type(TextArea::Body, "ok");
    composer_.SetSubject(ComposedText{"\xfb\xfc", {}});
    workflow_.Send1Click();
    EXPECT_EQ(ui_.messages.back(), Sj("ISO-2022-JPで送れない文字が含まれています: ") + "\xfb\xfc (U+9AD9)");

    // A character Shift_JIS cannot hold is never sent as something else.
    composer_.SetBody(ComposedText{"a" + std::string(kUnmappablePlaceholder), {U'😀'}});
    workflow_.Send1Click();
    EXPECT_NE(ui_.messages.back().find("U+1F600"), std::string::npos);
}

TEST_F(SendWorkflowTest, TypeTwoSendsThePinAsSubject)
{
    Type(TextArea::DirectAddress, "sky@example.jp");
    composer_.TypeBoxChanged(2);
    Type(TextArea::Pin, "1234");
    Type(TextArea::Subject, "ignored");
    Type(TextArea::Body, "hi");
    workflow_.Send1Click();
    ASSERT_EQ(NewMessages(1), 1);
    EXPECT_EQ(Subject(Stored(1)), "#1234");
}

TEST_F(SendWorkflowTest, RefusedMailIsCountedAndRecorded)
{
    test::ScriptedPeer peer({"S: 220 hi", "C: HELO*", "S: 250 ok", "C: MAIL FROM:<me@example.jp>", "S: 250 ok",
                             "C: RCPT TO:<taro@example.jp>", "S: 550 no such user", "C: DATA",
                             "S: 554 no valid recipients", "EXPECT_CLOSE"});
    settings_.Port = peer.Port();
    Type(TextArea::DirectAddress, "taro@example.jp");
    Type(TextArea::Body, "hello");
    Type(TextArea::Subject, "s");
    workflow_.Send1Click();
    EXPECT_TRUE(peer.Join());
    EXPECT_EQ(workflow_.FailedMailsThisCommand, 1);
    EXPECT_EQ(ui_.statusTexts.back(), Sj("1個のエラー"));
    const auto files = HistoryFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(ReadBytes(files[0]).find("X-ktml-Result: Unexpected Response Error\r\n"), std::string::npos)
        << ReadBytes(files[0]);
}

TEST_F(SendWorkflowTest, AbortStopsAMailMidAttachment)
{
    const std::filesystem::path big = std::filesystem::path(dir_.path().toStdString()) / "big.bin";
    std::ofstream(big, std::ios::binary) << std::string(8 * 1024 * 1024, 'q');
    Type(TextArea::DirectAddress, "taro@example.jp");
    Type(TextArea::Body, "with attachment");
    Type(TextArea::Subject, "s");
    composer_.SetAttachments({big.string()});
    composer_.ApplyTerminalType(4); // 20000 bytes: the count is over, so raise the limit
    settings_.TypeMaxLengths[4] = 100'000'000;
    composer_.ApplyTerminalType(4);
    workflow_.SendMail1().OnMailInfo = [this](SendMail&, SendMailInfo info, const std::string&) {
        if (info == SendMailInfo::Info_AttachmentProgress && !workflow_.SendAborted) {
            workflow_.Button1Click();
        }
    };
    workflow_.Send1Click();
    EXPECT_TRUE(workflow_.SendAborted);
    EXPECT_EQ(ui_.messages.back(), Sj("処理を中止しました。"));
    EXPECT_TRUE(view_.panelEnabled);
    EXPECT_FALSE(view_.abortVisible);
    EXPECT_FALSE(workflow_.Busy());
    EXPECT_EQ(NewMessages(1), 0);
}

TEST_F(SendWorkflowTest, TestSwitchSendsNothing)
{
    view_.testSwitch = true;
    Type(TextArea::DirectAddress, "taro@example.jp");
    Type(TextArea::Body, "hello");
    Type(TextArea::Subject, "s");
    workflow_.Send1Click();
    ASSERT_EQ(view_.testMails.size(), 1u);
    EXPECT_EQ(view_.testMails[0].from, "me@example.jp");
    EXPECT_EQ(ui_.statusTexts.back(), Sj("送信完了：エラーはありません。"));
    EXPECT_EQ(NewMessages(1), 0);
}

class PopBeforeSmtpSendTest : public SendWorkflowTest {};

TEST_F(PopBeforeSmtpSendTest, LogsInBeforeSendingAndGoesOnAfterAFailedLogin)
{
    if (!test::DovecotServer::Available()) {
        GTEST_SKIP() << "dovecot is not available";
    }
    test::DovecotServer pop;
    ASSERT_TRUE(pop.Start({{"taro", "secret"}})) << pop.Error();
    settings_.UsePopBeforeSmtp = true;
    settings_.POP3Server = "127.0.0.1";
    settings_.POP3Port = pop.Port();
    settings_.POP3USER = "taro";
    settings_.POP3PASS = "secret";
    Type(TextArea::DirectAddress, "taro@example.jp");
    Type(TextArea::Body, "hello");
    Type(TextArea::Subject, "s");
    workflow_.Send1Click();
    EXPECT_NE(std::find(ui_.statusTexts.begin(), ui_.statusTexts.end(), Sj("POP before SMTP 認証完了")),
              ui_.statusTexts.end());
    EXPECT_EQ(NewMessages(1), 1);

    settings_.POP3PASS = "wrong";
    ui_.Clear();
    workflow_.Send1Click();
    EXPECT_NE(std::find(ui_.messages.begin(), ui_.messages.end(), Sj("パスワードが違います。")), ui_.messages.end());
    EXPECT_EQ(NewMessages(2), 2); // the send goes on
}

} // namespace
} // namespace kitemail
