// kitemail-cli send against a real SMTP server on loopback, as a user runs it.

#include "platform/text_codec.h"
#include "process_runner.h"
#include "qt_app.h"
#include "smtp_sink.h"
#include "temp_dir.h"
#include "test_certs.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <filesystem>
#include <memory>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;

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

    ProcessResult Send(std::vector<std::string> args)
    {
        args.insert(args.begin(), "send");
        ProcessOptions options;
        options.setEnv.emplace_back("KITEMAIL_HOME", home_.string());
        options.timeout = std::chrono::seconds(60);
        return RunCli(args, options);
    }

    int NewMessages() const { return sink_->WaitForMessages(0, std::chrono::milliseconds(0)) - baseline_; }

    std::vector<fs::path> History() const
    {
        std::vector<fs::path> files;
        if (fs::exists(home_ / "mail")) {
            for (const auto& e : fs::directory_iterator(home_ / "mail")) {
                files.push_back(e.path());
            }
        }
        return files;
    }

    TempDir tmp_;
    const fs::path home_ = tmp_.path();
    std::string body_; // a short body file
    int baseline_ = 0;
};

TEST_F(CliSendTest, DirectSendGoesOutAndIsRecorded)
{
    const ProcessResult r = Send({"--to", "you@example.jp", "--type", "0", "--subject", "件名", "--body-file", body_});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("you@example.jpへ1/1を送信中..."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("送信完了：エラーはありません。"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("送信完了しました。"), std::string::npos) << r.err;
    ASSERT_EQ(NewMessages(), 1);
    const QJsonObject mail = ParseStoredMail(sink_->MessagePath(baseline_ + 1));
    EXPECT_EQ(mail["subject"].toString().trimmed(), QStringLiteral("件名"));
    EXPECT_TRUE(mail["body"].toString().startsWith(QStringLiteral("こんにちは")));
    EXPECT_EQ(History().size(), 1u);
}

TEST_F(CliSendTest, SubmissionSettingsOfTheFileWithThePasswordFromTheEnvironment)
{
    SmtpSink secured;
    ASSERT_TRUE(secured.Start("127.0.0.1", {"starttls", "taro", "secret"})) << secured.Error();
    WriteSettings(secured.Port(), "[Submission]\r\nSecurity=1\r\nAuthMethod=1\r\nAuthUser=taro\r\nCAFile="
                                      + CertFile("ca") + "\r\n");
    const auto send = [&](const char* password) {
        ProcessOptions options;
        options.setEnv = {{"KITEMAIL_HOME", home_.string()}, {"KITEMAIL_SMTP_PASSWORD", password}};
        options.timeout = std::chrono::seconds(60);
        return RunCli({"send", "--to", "you@example.jp", "--type", "0", "--yes", "--body-file", body_}, options);
    };
    const ProcessResult ok = send("secret");
    EXPECT_EQ(ok.exitCode, 0) << ok.out << ok.err;
    EXPECT_NE(ok.out.find("TLS接続中...\n"), std::string::npos) << ok.out;
    EXPECT_NE(ok.out.find("認証中...\n"), std::string::npos) << ok.out;
    EXPECT_EQ(secured.WaitForMessages(1, std::chrono::seconds(5)), 1);

    const ProcessResult refused = send("wrong");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("SMTPサーバーが認証を受け付けませんでした。"), std::string::npos) << refused.err;
    EXPECT_EQ(secured.WaitForMessages(2, std::chrono::milliseconds(200)), 1);

    const ProcessResult help = RunCli({"send", "--help"});
    EXPECT_NE(help.out.find("[Submission]"), std::string::npos);
    EXPECT_NE(help.out.find("KITEMAIL_SMTP_PASSWORD"), std::string::npos);
}

TEST_F(CliSendTest, AddressBookEntriesByNameAndPosition)
{
    // Positions count in the list as shown: sorted, so 花子 (89 D4) comes first.
    const ProcessResult r = Send({"--entry", "太郎", "--entry", "#0", "--subject", "s", "--body-file", body_});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    ASSERT_EQ(NewMessages(), 2);
    // Mails go out in list order, each with its entry's sender (none: the first).
    EXPECT_EQ(sink_->Envelope(baseline_ + 1)["rcpt_tos"].toArray().first().toString(), "hanako@example.jp");
    EXPECT_EQ(sink_->Envelope(baseline_ + 1)["mail_from"].toString(), "me@example.jp");
    EXPECT_EQ(sink_->Envelope(baseline_ + 2)["rcpt_tos"].toArray().first().toString(), "taro@example.jp");
    EXPECT_EQ(sink_->Envelope(baseline_ + 2)["mail_from"].toString(), "other@example.jp");
}

TEST_F(CliSendTest, OverTheLimitAsksAndSplitsOnlyWhenTold)
{
    std::string body;
    for (int i = 0; i < 30; ++i) {
        body += std::string(40, static_cast<char>('a' + i % 26)) + "\n";
    }
    tmp_.Write("long.txt", body);
    const std::vector<std::string> base = {"--to", "you@example.jp", "--type", "3", "--subject", "s",
                                           "--body-file", (home_ / "long.txt").string()};
    ProcessResult r = Send(base);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("分割送信しますか"), std::string::npos) << r.err;
    EXPECT_EQ(NewMessages(), 0);

    std::vector<std::string> split = base;
    split.insert(split.end(), {"--split", "yes"});
    r = Send(split);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(NewMessages(), 3);
    EXPECT_NE(r.out.find("you@example.jpへ3/3を送信中..."), std::string::npos) << r.out;

    // Nine parts cannot hold four times as much: "yes" is refused, sending
    // nothing, unless the user accepts losing the end.
    std::string longer;
    for (int i = 0; i < 4; ++i) {
        longer += body;
    }
    tmp_.Write("long.txt", longer);
    r = Send(split);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Byteは送信されません。"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("give --split truncate"), std::string::npos) << r.err;
    EXPECT_EQ(NewMessages(), 3);
    split.back() = "truncate";
    r = Send(split);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(NewMessages(), 12);
}

TEST_F(CliSendTest, DryRunPrintsAndSendsNothing)
{
    const ProcessResult r =
        Send({"--to", "you@example.jp", "--type", "0", "--subject", "s", "--body-file", body_, "--dry-run"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("--- mail 1\nTo: you@example.jp\nFrom: me@example.jp\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("こんにちは"), std::string::npos);
    EXPECT_EQ(NewMessages(), 0);
    EXPECT_TRUE(History().empty());
}

TEST_F(CliSendTest, FailuresAndRefusalsExitOne)
{
    // An empty Subject is a question; without --yes the answer is no.
    ProcessResult r = Send({"--to", "you@example.jp", "--type", "0", "--body-file", body_});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Subject が入力されていません"), std::string::npos) << r.err;

    // Nobody listens on the port: refused, counted, recorded.
    WriteSettings(1);
    r = Send({"--to", "you@example.jp", "--type", "0", "--subject", "s", "--yes", "--body-file", body_});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("メールサーバーが接続を受け付けませんでした。"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("1個のエラー"), std::string::npos) << r.out;
    ASSERT_EQ(History().size(), 1u);
}

TEST_F(CliSendTest, BadArgumentsExitTwo)
{
    EXPECT_EQ(Send({}).exitCode, 2);
    EXPECT_EQ(Send({"--to", "a@b"}).exitCode, 2);
    EXPECT_EQ(Send({"--to", "a@b", "--type", "12"}).exitCode, 2);
    EXPECT_EQ(Send({"--entry", "nobody"}).exitCode, 2);
    EXPECT_EQ(Send({"--entry", "#7"}).exitCode, 2);
    EXPECT_EQ(Send({"--to", "a@b", "--type", "0", "--split", "maybe"}).exitCode, 2);
    EXPECT_EQ(Send({"--to", "a@b", "--type", "0", "--subject", "😀"}).exitCode, 2);
}

} // namespace
} // namespace kitemail::test
