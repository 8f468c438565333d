// kitemail-cli send against a real SMTP server on loopback, as a user runs
// it: its arguments, exit codes and output. What a sent mail holds is the
// send workflow's tests' business.

#include "file_bytes.h"
#include "platform/text_codec.h"
#include "process_runner.h"
#include "qt_app.h"
#include "scripted_peer.h"
#include "send/history_folder.h"
#include "smtp_sink.h"
#include "temp_dir.h"
#include "test_certs.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <iterator>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;
using Env = std::vector<std::pair<std::string, std::string>>;

class CliSendTest : public SmtpSinkSuite {
protected:
    void SetUp() override
    {
        baseline_ = sink_->WaitForMessages(0, std::chrono::milliseconds(0));
        WriteSettings(sink_->Port());
        body_ = tmp_.Write("body.txt", "こんにちは\nline two\n").string();
    }

    void WriteSettings(int port, const std::string& extra = "")
    {
        tmp_.Write("Kiteml.ini",
                   Sj("[Configuration]\r\nServer=127.0.0.1\r\nPort=" + std::to_string(port) + "\r\n" + extra
                      + "[MyAddress]\r\nHow=2\r\n0=me@example.jp\r\n1=other@example.jp,reply@example.jp\r\n"
                        "[TEL]\r\nHow=2\r\n0=太郎,taro@example.jp,,3,1\r\n1=花子,hanako@example.jp,,6,-1\r\n"));
    }

    // "send" and its arguments, with the folder as home and more of the
    // environment.
    ProcessResult Send(std::vector<std::string> args, Env env = {})
    {
        args.insert(args.begin(), "send");
        ProcessOptions options = AtHome(home_);
        options.setEnv = std::move(env);
        return RunCli(args, options);
    }

    // The short body to you@example.jp as type 0, and more arguments.
    ProcessResult SendToYou(const std::vector<std::string>& more, Env env = {})
    {
        std::vector<std::string> args = {"--to", "you@example.jp", "--type", "0", "--body-file", body_};
        args.insert(args.end(), more.begin(), more.end());
        return Send(args, std::move(env));
    }

    int NewMessages() const { return sink_->WaitForMessages(0, std::chrono::milliseconds(0)) - baseline_; }

    std::size_t HistoryRecords() const { return ListHistoryFiles(home_ / "mail").size(); }

    TempDir tmp_;
    const fs::path home_ = tmp_.path();
    std::string body_; // a short body file
    int baseline_ = 0;
};

// A send goes out and is recorded; then history resend: record 1 goes out
// again through send (its answers, its output, a new record; a dry run
// sends nothing), with the subject and body the record holds.
TEST_F(CliSendTest, TheSendGoesOutIsRecordedAndResent)
{
    ProcessResult r = SendToYou({"--subject", "件名"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("you@example.jpへ1/1を送信中..."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("送信完了：エラーはありません。"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("送信完了しました。"), std::string::npos) << r.err;
    ASSERT_EQ(NewMessages(), 1);
    // The arguments and the body file are UTF-8.
    const QJsonObject mail = ParseStoredMail(sink_->MessagePath(baseline_ + 1));
    EXPECT_EQ(mail["subject"].toString().trimmed(), QStringLiteral("件名"));
    EXPECT_TRUE(mail["body"].toString().startsWith(QStringLiteral("こんにちは")));
    EXPECT_EQ(HistoryRecords(), 1U);

    const auto resend = [this](std::vector<std::string> more) {
        more.insert(more.begin(), {"history", "resend", "1"});
        return RunCli(more, AtHome(home_));
    };
    r = resend({"--dry-run", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"result\":\"dry-run\""), std::string::npos) << r.out;
    EXPECT_EQ(NewMessages(), 1);

    r = resend({"--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    ASSERT_EQ(NewMessages(), 2);
    const QJsonObject again = ParseStoredMail(sink_->MessagePath(baseline_ + 2));
    EXPECT_EQ(again["subject"], mail["subject"]);
    EXPECT_EQ(again["body"], mail["body"]);
    EXPECT_EQ(sink_->Envelope(baseline_ + 2)["rcpt_tos"], sink_->Envelope(baseline_ + 1)["rcpt_tos"]);
    EXPECT_EQ(HistoryRecords(), 2U);

    EXPECT_EQ(resend({"--to", "x@example.jp"}).exitCode, 2);
    EXPECT_EQ(RunCli({"--data-dir", home_.string(), "history", "resend", "9"}).exitCode, 2);
}

TEST_F(CliSendTest, SubmissionSettingsOfTheFileWithThePasswordFromTheEnvironment)
{
    SmtpSink secured;
    ASSERT_TRUE(secured.Start("127.0.0.1", {"starttls", "taro", "secret"})) << secured.Error();
    WriteSettings(secured.Port(), "[Submission]\r\nSecurity=1\r\nAuthMethod=1\r\nAuthUser=taro\r\nCAFile="
                                      + CertFile("ca") + "\r\n");
    const ProcessResult ok = SendToYou({"--yes"}, {{"KITEMAIL_SMTP_PASSWORD", "secret"}});
    EXPECT_EQ(ok.exitCode, 0) << ok.out << ok.err;
    EXPECT_EQ(secured.WaitForMessages(1, std::chrono::seconds(5)), 1);

    const ProcessResult refused = SendToYou({"--yes"}, {{"KITEMAIL_SMTP_PASSWORD", "wrong"}});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("SMTPサーバーが認証を受け付けませんでした。"), std::string::npos) << refused.err;
    EXPECT_EQ(secured.WaitForMessages(2, std::chrono::milliseconds(200)), 1);
}

TEST_F(CliSendTest, AddressBookEntriesByNameAndPosition)
{
    // Positions count in the list as shown: sorted, so 花子 (89 D4) comes first.
    const ProcessResult r = Send({"--entry", "太郎", "--entry", "#0", "--subject", "s", "--body-file", body_});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    ASSERT_EQ(NewMessages(), 2);
    // Mails go out in list order, each from its entry's sender.
    EXPECT_EQ(sink_->Envelope(baseline_ + 1)["rcpt_tos"].toArray().first().toString(), "hanako@example.jp");
    EXPECT_EQ(sink_->Envelope(baseline_ + 2)["rcpt_tos"].toArray().first().toString(), "taro@example.jp");
    EXPECT_EQ(sink_->Envelope(baseline_ + 2)["mail_from"].toString(), "other@example.jp");
}

// Past nine parts only when the user accepts losing the end (splitting
// within nine, asking and refusing are rows: send_*).
TEST_F(CliSendTest, PastNinePartsTruncateSendsTheNine)
{
    std::string body;
    for (int i = 0; i < 120; ++i) {
        body += std::string(40, static_cast<char>('a' + i % 26)) + "\n";
    }
    const ProcessResult r = Send({"--to", "you@example.jp", "--type", "3", "--subject", "s", "--body-file",
                                  tmp_.Write("long.txt", body).string(), "--split", "truncate"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(NewMessages(), 9);
    EXPECT_NE(r.out.find("you@example.jpへ9/9を送信中..."), std::string::npos) << r.out;
}

// The whole message went out and the server fell silent: it may have the
// mail. Neither sent nor failed, and a script is told so.
TEST_F(CliSendTest, SilenceAfterTheWholeMessageIsUnconfirmedExitThree)
{
    ScriptedPeer peer({"S: 220 mx", "C: HELO *", "S: 250 ok", "C: MAIL FROM:<me@example.jp>", "S: 250 ok",
                       "C: RCPT TO:<you@example.jp>", "S: 250 ok", "C: DATA", "S: 354 go", "DATA", "EXPECT_CLOSE"});
    WriteSettings(peer.Port(), "[Network]\r\nDataTimeout=1\r\n");
    const ProcessResult r = SendToYou({"--subject", "s", "--json"});
    EXPECT_TRUE(peer.Join());
    EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
    EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(o["result"].toString(), "unconfirmed") << r.out;
    EXPECT_EQ(o["error"].toInt(), 25);
    EXPECT_EQ(o["resultText"].toString(), "Unconfirmed");
    EXPECT_EQ(o["message"].toString(), QStringLiteral("サーバーの応答がないため、送信できたか確認できません。"));
    EXPECT_NE(r.err.find("サーバーの応答がないため、送信できたか確認できません。"), std::string::npos) << r.err;
    ASSERT_EQ(HistoryRecords(), 1U);
    const std::string record = ReadBytes(ListHistoryFiles(home_ / "mail").front());
    EXPECT_NE(record.find("\r\nX-ktml-Result: Unconfirmed\r\n"), std::string::npos) << record;
}

// What became of the mail decides the exit status, not the output: a full
// disk or a reader gone is said on standard error, and never kills the
// command between mails.
TEST_F(CliSendTest, TheExitStatusIsTheMailsEvenWhenTheOutputCannotBeWritten)
{
    const auto run = [this](const std::string& shell, const char* more) {
        return RunProcess("/bin/sh", {"-c", shell, KITEMAIL_CLI_PATH, "send", "--to", "you@example.jp", "--type", "0",
                                      "--subject", "s", "--body-file", body_, more},
                          AtHome(home_));
    };
    const ProcessResult full = run("\"$0\" \"$@\" > /dev/full", "--json");
    EXPECT_EQ(full.exitCode, 0) << full.err;
    EXPECT_NE(full.err.find("kitemail-cli: cannot write output: No space left on device"), std::string::npos)
        << full.err;
    // The reader is gone before the first status line, written before
    // anything connects: the write fails, the process lives on and sends.
    const ProcessResult closed = run("{ \"$0\" \"$@\"; echo \"exit $?\" >&2; } | true", "--yes");
    EXPECT_NE(closed.err.find("exit 0"), std::string::npos) << closed.err;
    EXPECT_NE(closed.err.find("cannot write output: Broken pipe"), std::string::npos) << closed.err;
    EXPECT_EQ(NewMessages(), 2);

    WriteSettings(ClosedLoopbackPort());
    EXPECT_EQ(run("\"$0\" \"$@\" > /dev/full", "--json").exitCode, 1);
}

// The mail's result stays the server's; what else went wrong is said in the
// last status and in --json.
TEST_F(CliSendTest, AFailedPopLoginAndAMissingHistoryRecordAreSaidBesideTheResult)
{
    ScriptedPeer pop({"S: +OK ready", "C: USER taro", "S: +OK", "C: PASS wrong", "S: -ERR no", "DRAIN"});
    WriteSettings(sink_->Port(), "21=1\r\nPOP3USER=taro\r\nPOP3Server=127.0.0.1\r\nPOP3Port="
                                     + std::to_string(pop.Port()) + "\r\n");
    tmp_.Write("mail", "a file where the history folder should be");
    const ProcessResult r = SendToYou({"--subject", "s", "--json"}, {{"KITEMAIL_POP3_PASSWORD", "wrong"}});
    EXPECT_TRUE(pop.Join());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(NewMessages(), 1);
    const QJsonObject mail = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(mail["result"].toString(), "sent") << r.out;
    EXPECT_EQ(mail["popLogin"].toString(), "failed");
    EXPECT_EQ(mail["message"].toString(), QString::fromUtf8("送信履歴フォルダが不正です。"));
    EXPECT_TRUE(mail["history"].isNull());
    EXPECT_TRUE(r.err.ends_with("送信完了：エラーはありません。　POP before SMTP 認証出来ませんでした。"
                                "　履歴エラー：送信履歴を記録できませんでした。\n送信完了しました。\n"))
        << r.err;
}

} // namespace
} // namespace kitemail::test
