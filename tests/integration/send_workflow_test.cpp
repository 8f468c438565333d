// The road of a message from "送信" to the history folder, against a real
// SMTP server, with a scripted user. (POP before SMTP in the send: the
// command line's send tests.)

#include "file_bytes.h"
#include "platform/clock.h"
#include "platform/text_codec.h"
#include "qt_app.h"
#include "scripted_peer.h"
#include "scripted_ui.h"
#include "send/history_folder.h"
#include "send/message_composer.h"
#include "send/send_workflow.h"
#include "settings/settings.h"
#include "smtp_sink.h"
#include "temp_dir.h"
#include "test_certs.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <fstream>
#include <functional>

namespace kitemail {
namespace {

class RecordingView : public SendView {
public:
    void SetMainPanelEnabled(bool enabled) override { panelEnabled = enabled; }
    void SetAbortButtonVisible(bool visible) override { abortVisible = visible; }
    bool ReviewSplit(const std::string&, const std::vector<std::string>& parts) override
    {
        reviewedParts = static_cast<int>(parts.size());
        ++reviews;
        return true;
    }
    std::string SenderBoxText() const override { return "box@example.jp"; }
    bool TestSwitch() const override { return false; }
    void TestMail(const OutgoingMail&) override {}
    void ClearMessage() override { ++clears; }
    void MailEnded(const MailOutcome& outcome) override { ended.push_back(outcome); }

    bool panelEnabled = true, abortVisible = false;
    int reviews = 0, reviewedParts = 0, clears = 0;
    std::vector<MailOutcome> ended;
};

// What a mail reader shows of a field: header lines go out with two trailing
// blanks, and the reader shows the body with its own line ends.
std::string Shown(const QJsonObject& mail, const char* field)
{
    std::string s = mail[field].toString().toStdString();
    std::erase(s, '\r');
    return s.substr(0, s.find_last_not_of(" \n") + 1);
}

class SendWorkflowTest : public test::SmtpSinkSuite {
protected:
    void SetUp() override
    {
        settings_.Server = "127.0.0.1";
        settings_.Port = sink_->Port();
        settings_.SenderList = {"me@example.jp,reply@example.jp", "second@example.jp"};
        composer_.SelectFirstSender();
        baseline_ = sink_->WaitForMessages(0, std::chrono::milliseconds(0));
        composer_.ApplyTerminalType(TerminalType::VodafoneLongMail);
        workflow_.Mail().ReplyTimeout = std::chrono::seconds(60); // a bound, also for a slow TLS handshake
    }

    // A mail to taro.
    void Compose(const std::string& body, const std::string& subject = "件名")
    {
        composer_.SetDirectAddress({"taro@example.jp", {}});
        composer_.SetSubject({Sj(subject), {}});
        composer_.SetBody({Sj(body), {}});
    }

    // A send has returned only after the server accepted the message, so
    // what is stored by then is all there is.
    int NewMessages(int n) { return sink_->WaitForMessages(baseline_ + n, std::chrono::milliseconds(200)) - baseline_; }
    QJsonObject Stored(int n) { return test::ParseStoredMail(sink_->MessagePath(baseline_ + n)); }

    std::vector<std::filesystem::path> HistoryFiles() const { return ListHistoryFiles(historyDir_); }

    int baseline_ = 0;
    test::TempDir dir_;
    std::filesystem::path historyDir_ = dir_.path() / "mail";
    Settings settings_;
    test::ScriptedUserInterface ui_;
    RecordingView view_;
    MessageComposer composer_{settings_, ui_};
    SendWorkflow workflow_{settings_, composer_, ui_, view_, historyDir_};
};

TEST_F(SendWorkflowTest, DirectSendDeliversAndRecordsHistory)
{
    Compose("本文です。\r\n.dot line\r\nｶﾞｷﾞ", "こんにちは");
    settings_.FromUser = Sj("送信者");
    workflow_.Send();
    ASSERT_EQ(NewMessages(1), 1);
    const QJsonObject mail = Stored(1);
    EXPECT_EQ(Shown(mail, "subject"), "こんにちは");
    EXPECT_EQ(Shown(mail, "from"), "送信者 <me@example.jp>");
    EXPECT_EQ(Shown(mail, "body"), "本文です。\n.dot line\nガギ");
    const std::string raw = sink_->MessageBytes(baseline_ + 1);
    EXPECT_NE(raw.find("Reply-To: reply@example.jp"), std::string::npos);
    EXPECT_NE(raw.find("X-Mailer: Kitemail Pro Version 0.50"), std::string::npos);
    EXPECT_FALSE(workflow_.Outcome().refusedOrAborted);
    EXPECT_EQ(workflow_.Outcome().errors, 0);
    EXPECT_EQ(ui_.messages.back(), Sj("送信完了しました。"));
    EXPECT_TRUE(view_.panelEnabled);
    EXPECT_FALSE(view_.abortVisible);

    const auto files = HistoryFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string record = test::ReadBytes(files[0]);
    EXPECT_TRUE(record.starts_with("To: taro@example.jp\r\nDate: "));
    EXPECT_NE(record.find("\r\nSubject: " + Sj("こんにちは") + "\r\nFrom: me@example.jp\r\n"), std::string::npos);
    EXPECT_NE(record.find("\r\nX-ktml-Server: 127.0.0.1\r\nX-ktml-Attachments: \r\nX-ktml-Result: Succeed\r\n"),
              std::string::npos);
    EXPECT_TRUE(record.ends_with("\r\n\r\n" + Sj("本文です。\r\n.dot line\r\nｶﾞｷﾞ") + "\r\n"));
    EXPECT_EQ(files[0].filename().string().substr(0, 14), workflow_.LastMail()->messageId.substr(0, 14));
}

// Subjects up to the longest the checks take, a long sender name and a long
// attachment name, read back by Python's email package; each mail dated at
// its Message-ID's instant.
TEST_F(SendWorkflowTest, LongHeadersComeBackWholeAndEveryMailIsDated)
{
    const auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) {
            out += s;
        }
        return out;
    };
    SetClockForTesting([] { return LocalTime{2026, 12, 6, 22, 20, 46, 540}; });
    settings_.MaxLen = 100000; // the count is not what is tried here
    composer_.ApplyTerminalType(TerminalType::Unspecified);
    const std::string name = repeat("送信者", 15);
    settings_.FromUser = Sj(name);
    const std::string fileName = repeat("添付ファイル", 6) + ".txt";
    composer_.SetAttachments({Sj(dir_.Write(fileName, "data").string())});
    const std::string subjects[] = {repeat("漢", 400), repeat("a", 2000), repeat("漢字とかなとASCII", 200),
                                    repeat("漢", 2000)};
    for (const std::string& subject : subjects) {
        Compose("本文", subject);
        workflow_.Send();
    }
    ASSERT_EQ(NewMessages(4), 4);
    for (int i = 0; i < 4; ++i) {
        const QJsonObject mail = Stored(i + 1);
        EXPECT_EQ(Shown(mail, "subject"), subjects[i]);
        EXPECT_EQ(Shown(mail, "from_words"), name + " <me@example.jp>");
        EXPECT_EQ(Shown(mail, "date"), "2026-12-06T22:20:46+09:00");
        EXPECT_EQ(mail["parts"].toArray()[0].toObject()["filename"].toString().toStdString(), fileName);
        EXPECT_EQ(mail["defects"].toArray().size(), 0);
    }
    EXPECT_NE(sink_->MessageBytes(baseline_ + 1).find("\r\nTo: taro@example.jp\r\nDate: Sun, 06 Dec 2026 22:20:46 +0900\r\n"),
              std::string::npos);
    EXPECT_EQ(workflow_.LastMail()->messageId.substr(0, 14), "20261206222046");
    SetClockForTesting(nullptr);

    // Beyond the longest, the check names the field.
    Compose("本文", repeat("漢", 2000) + "a");
    workflow_.Send();
    EXPECT_EQ(ui_.messages.back(), Sj("題名が4000Byteを超えています。4000Byte以下にしてください。"));
    EXPECT_EQ(NewMessages(5), 4);
}

TEST_F(SendWorkflowTest, AddressBookSendUsesEachEntrysTypeAndSender)
{
    composer_.SetCheckListLines({"A,a@example.jp,,3,0", "B,b@example.jp,,0,1", "C,c@example.jp,,6,-1",
                                 "D,d@example.jp,,0,0"});
    composer_.SelectAddressBookMode();
    for (int i : {0, 1, 2}) {
        composer_.SetTick(i, true);
    }
    Compose("hello");
    workflow_.Send();

    ASSERT_EQ(NewMessages(4), 3); // D was not ticked
    EXPECT_EQ(sink_->Envelope(baseline_ + 1)["rcpt_tos"].toArray().first().toString(), "a@example.jp");
    EXPECT_EQ(sink_->Envelope(baseline_ + 1)["mail_from"].toString(), "me@example.jp");
    EXPECT_EQ(sink_->Envelope(baseline_ + 2)["mail_from"].toString(), "second@example.jp");
    EXPECT_EQ(sink_->Envelope(baseline_ + 3)["mail_from"].toString(), "box@example.jp");
    // Afterwards the direct address is empty and the type box shows the default again.
    EXPECT_TRUE(composer_.Text(TextArea::DirectAddress).bytes.empty());
    EXPECT_EQ(composer_.TypeBox(), settings_.DefaultType);
    // Each record names its own entry's type.
    const auto files = HistoryFiles();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_NE(test::ReadBytes(files[0]).find("X-ktml-PhoneType: i-mode\r\n"), std::string::npos);
    EXPECT_NE(test::ReadBytes(files[2]).find("X-ktml-PhoneType: EZweb@mail\r\n"), std::string::npos);
}

TEST_F(SendWorkflowTest, OverLimitMessageSplitsIntoNumberedParts)
{
    std::string body;
    for (int i = 0; i < 60; ++i) {
        body += "行" + std::to_string(i) + "：あいうえおかきくけこ\r\n";
    }
    Compose(body);
    composer_.ApplyTerminalType(TerminalType::IMode); // 500 bytes
    ui_.yesNoCancelAnswers = {YesNoCancel::Yes};
    // A cut may fall between CR and LF, or just after a line break.
    std::erase(body, '\r');
    std::erase(body, '\n');
    // Asked and reviewed with numbers in the body; then split unasked with numbers in the subject.
    for (const bool inSubject : {false, true}) {
        SCOPED_TRACE(inSubject);
        settings_.PartNumberInSubject = settings_.AutoSplitOnOverflow = inSubject;
        workflow_.Send();
        EXPECT_EQ(view_.reviews, 1);
        const int n = NewMessages(64);
        ASSERT_GE(n, 3);
        EXPECT_TRUE(inSubject || n == view_.reviewedParts) << n; // as reviewed
        std::string joined;
        for (int i = 1; i <= n; ++i) {
            const std::string number = "[" + std::to_string(i) + "/" + std::to_string(n) + "]";
            const QJsonObject mail = Stored(i);
            const std::string text = Shown(mail, "body");
            EXPECT_EQ(Shown(mail, "subject"), inSubject ? number + "件名" : "件名");
            ASSERT_EQ(text.starts_with(number), !inSubject) << text;
            joined += text.substr(inSubject ? 0 : number.size());
        }
        std::erase(joined, '\n');
        EXPECT_EQ(joined, body);
        EXPECT_EQ(ui_.statusTexts.back(), Sj("送信完了：エラーはありません。"));
        baseline_ += n;
    }

    // More than nine parts' worth: never cut short unasked. The question says
    // how much would stay behind, also when splitting needs no question.
    std::string longer;
    for (int i = 0; i < 300; ++i) {
        longer += "行" + std::to_string(i) + "：あいうえおかきくけこ\r\n";
    }
    Compose(longer);
    ui_.yesNoCancelAnswers = {YesNoCancel::Yes};
    workflow_.Send();
    const std::string question = ui_.questions.back().text;
    EXPECT_TRUE(question.starts_with(Sj("送信容量が、制限を越えています。分割送信しますか？（最大９分割です。）\r\n"
                                        "９分割に収まらないため、本文の最後の")))
        << SjisToUtf8(question);
    EXPECT_TRUE(question.ends_with(Sj("Byteは送信されません。")));
    EXPECT_EQ(NewMessages(64), 9);
}

TEST_F(SendWorkflowTest, ChecksRefuseInOrderAndTypeTwoSendsThePinAsSubject)
{
    const auto refusal = [this] {
        workflow_.Send();
        return ui_.messages.back();
    };
    ui_.confirmAnswers.push_back(false); // empty body: do not send
    workflow_.Send();
    EXPECT_EQ(ui_.questions.back().text, Sj("本文が入力されていません。このまま送信しますか？"));
    EXPECT_TRUE(workflow_.Outcome().refusedOrAborted);

    composer_.SetBody({std::string(990, 'a'), {}});
    EXPECT_EQ(refusal(), Sj("メールアドレスを入力してください。"));

    composer_.SetDirectAddress({"x@example.jp", {}});
    composer_.TypeBoxChanged(TerminalType::SkyWalker);
    composer_.SetPin({"123", {}});
    EXPECT_EQ(refusal(), Sj("PINコードが正しくありません。"));

    composer_.SetPin({"1234", {}});
    composer_.SetSubject({"ignored", {}});
    composer_.SetBody({"hi", {}});
    workflow_.Send();
    ASSERT_EQ(NewMessages(1), 1);
    EXPECT_EQ(Shown(Stored(1), "subject"), "#1234");

    settings_.Server.clear();
    EXPECT_EQ(refusal(), Sj("SMTPサーバを設定してください。"));
    EXPECT_EQ(ui_.statusTexts.back(), Sj("Server: エラー：SMTPサーバーを設定してください。"));
    EXPECT_EQ(NewMessages(2), 1);

    // A character Shift_JIS cannot hold is never sent as something else;
    // nothing connects (the checks of each value are the unit tests' rows).
    settings_.Server = "127.0.0.1";
    composer_.SetBody(ComposedText{"a" + std::string(kUnmappablePlaceholder), {U'😀'}});
    EXPECT_NE(refusal().find("U+1F600"), std::string::npos);
    EXPECT_TRUE(workflow_.Outcome().refusedOrAborted);
    EXPECT_EQ(NewMessages(2), 1);
}

// (The abort button mid-message: the window's send tests drive it through
// this workflow; the socket tests cut a big attachment.)
TEST_F(SendWorkflowTest, RefusedMailAndAnAttachmentGoneMidSendAreRecorded)
{
    test::ScriptedPeer peer({"S: 220 hi", "C: HELO*", "S: 250 ok", "C: MAIL FROM:<me@example.jp>", "S: 250 ok",
                             "C: RCPT TO:<taro@example.jp>", "S: 550 no such user", "EXPECT_CLOSE"});
    settings_.Port = peer.Port();
    Compose("with attachment");
    workflow_.Send();
    EXPECT_TRUE(peer.Join());
    EXPECT_EQ(workflow_.Outcome().errors, 1);
    EXPECT_EQ(ui_.statusTexts.back(), Sj("1個のエラー"));
    auto files = HistoryFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(test::ReadBytes(files[0]).find("X-ktml-Result: Unexpected Response Error\r\n"), std::string::npos);
    // The box says it in our words and shows the server's own line.
    const auto shown = [this](const std::string& message) {
        return std::ranges::find(ui_.messages, message) != ui_.messages.end();
    };
    EXPECT_TRUE(shown(Sj("メールサーバーが応答しません。設定を確認して下さい。\r\nサーバーの応答: 550 no such user")));

    // An attachment gone between the count and its part: that mail fails
    // (the server never gets its end) and its record says so.
    settings_.Port = sink_->Port();
    const std::filesystem::path photo = dir_.Write("photo.jpg", "jpeg");
    composer_.SetAttachments({photo.string()});
    composer_.ApplyTerminalType(TerminalType::HLink);
    workflow_.Mail().OnMailInfo = [&](SendMail&, SendMailInfo info, const std::string&) {
        if (info == SendMailInfo::Info_Connected) {
            std::filesystem::remove(photo);
        }
    };
    workflow_.Send();
    EXPECT_EQ(workflow_.Outcome().errors, 1);
    EXPECT_EQ(NewMessages(1), 0);
    EXPECT_TRUE(shown(Sj("添付ファイルを読み込めなかったため、送信できませんでした。\r\n") + photo.string()
                      + ": No such file or directory"));
    files = HistoryFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(test::ReadBytes(files[1]).find("X-ktml-Result: Attachment Error\r\n"), std::string::npos);
}

// The count is the command's, over every address-book entry; the completion
// (and the clear after it) only when every mail was accepted, and then even
// when a record cannot be written (what is said then: the command line's
// send tests).
TEST_F(SendWorkflowTest, ErrorsCountOverTheWholeCommandAndCompletionOnlyWhenAllWereAccepted)
{
    settings_.ClearAfterSend = true;
    settings_.Port = test::ClosedLoopbackPort();
    composer_.SetCheckListLines({"A,a@example.jp,,0,0", "B,b@example.jp,,0,0"});
    composer_.SelectAddressBookMode();
    composer_.SetTick(0, true);
    composer_.SetTick(1, true);
    Compose("hello");
    workflow_.Send();
    EXPECT_FALSE(workflow_.Outcome().refusedOrAborted);
    EXPECT_EQ(workflow_.Outcome().errors, 2);
    std::vector<std::string> finals;
    for (const std::string& s : ui_.statusTexts) {
        if (s.ends_with(Sj("個のエラー")) || s.starts_with(Sj("送信完了"))) {
            finals.push_back(SjisToUtf8(s));
        }
    }
    EXPECT_EQ(finals, (std::vector<std::string>{"1個のエラー", "2個のエラー"}));
    EXPECT_EQ(std::ranges::count(ui_.messages, Sj("送信完了しました。")), 0);
    EXPECT_EQ(view_.clears, 0);
    ASSERT_EQ(view_.ended.size(), 2u);
    EXPECT_EQ(view_.ended[1].resultText, "Connection Rejected Error");
    EXPECT_EQ(HistoryFiles().size(), 2u);

    // A file where the history folder should be: delivered all the same.
    std::filesystem::remove_all(historyDir_);
    std::ofstream(historyDir_) << "not a folder";
    settings_.Port = sink_->Port();
    ui_.Clear();
    workflow_.Send();
    EXPECT_EQ(NewMessages(2), 2);
    EXPECT_EQ(workflow_.Outcome().errors, 0);
    EXPECT_EQ(ui_.messages.back(), Sj("送信完了しました。"));
    EXPECT_EQ(view_.clears, 1);
}

// Encrypted submission through the send command: the password asked for,
// the status line during the slow steps, and a failure's words in the
// history record.
TEST_F(SendWorkflowTest, SubmissionAsksThePasswordShowsTheStepsAndRecordsWhatFailed)
{
    test::SmtpSink startTls;
    ASSERT_TRUE(startTls.Start("127.0.0.1", {"starttls", "taro", "secret"})) << startTls.Error();
    settings_.Server = "localhost"; // by name: the certificate is checked against it
    settings_.Port = startTls.Port();
    settings_.ShowSendCompleteMessage = false;
    settings_.Security = SmtpSecurity::StartTls;
    settings_.AuthMethod = SmtpAuth::Best;
    settings_.AuthUser = "taro";
    settings_.CAFile = Sj(test::CertFile("ca"));
    Compose("hello");
    ui_.passwordAnswers = {"secret"}; // none stored: asked once per command
    workflow_.Send();
    EXPECT_EQ(workflow_.Outcome().errors, 0);
    std::vector<std::string> steps;
    const std::string sending = "taro@example.jpへ1/1を送信中...";
    for (const std::string& s : ui_.statusTexts) {
        if (s == Sj("TLS接続中...") || s == Sj("認証中...") || s == Sj(sending)) {
            steps.push_back(SjisToUtf8(s));
        }
    }
    EXPECT_EQ(steps, (std::vector<std::string>{sending, "TLS接続中...", sending, "認証中...", sending}));
    EXPECT_EQ(startTls.WaitForMessages(1, std::chrono::seconds(5)), 1);

    // Without the authority: the box and the record say what is wrong.
    settings_.CAFile.clear();
    ui_.Clear();
    ui_.passwordAnswers = {"secret"};
    workflow_.Send();
    EXPECT_EQ(workflow_.Outcome().errors, 1);
    const std::string fingerprint = test::CertFingerprint("server");
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(SjisToUtf8(ui_.messages[0]), "SMTPサーバーと暗号化した接続ができませんでした。\r\n"
                                           "サーバー証明書の発行者が信頼されていません（CAFileで追加できます）。\r\n"
                                           "証明書の SHA-256: " + fingerprint);
    const auto files = HistoryFiles();
    ASSERT_EQ(files.size(), 2u);
    const std::string record = test::ReadBytes(files.back());
    EXPECT_NE(record.find("X-ktml-Result: TLS Error: unknown issuer; SHA-256 " + fingerprint + "\r\n"),
              std::string::npos)
        << record;

    // A cancelled prompt sends nothing.
    ui_.Clear();
    ui_.passwordAnswers = {std::nullopt};
    workflow_.Send();
    EXPECT_TRUE(workflow_.Outcome().refusedOrAborted);
    EXPECT_EQ(SjisToUtf8(ui_.statusTexts.back()), "送信中止：SMTP認証のパスワードが入力されませんでした。");
    EXPECT_EQ(startTls.WaitForMessages(2, std::chrono::milliseconds(200)), 1);
}

} // namespace
} // namespace kitemail
