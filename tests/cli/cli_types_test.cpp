// A terminal type defined from the shell, used from end to end: added,
// given to address-book entries, counted, sent to a real SMTP server on
// loopback and sent again from the history, then deleted while in use.

#include "file_bytes.h"
#include "platform/text_codec.h"
#include "process_runner.h"
#include "smtp_sink.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

class CliTypesTest : public SmtpSinkSuite {
protected:
    void SetUp() override
    {
        baseline_ = sink_->WaitForMessages(0, std::chrono::milliseconds(0));
        tmp_.Write("Kiteml.ini", Sj("[Configuration]\r\nServer=127.0.0.1\r\nPort=" + std::to_string(sink_->Port())
                                    + "\r\n[MyAddress]\r\nHow=1\r\n0=me@example.jp\r\n"));
    }

    ProcessResult Cli(const Args& args) const
    {
        ProcessOptions options;
        options.timeout = std::chrono::seconds(60);
        options.setEnv.emplace_back("KITEMAIL_HOME", tmp_.path().string());
        return RunCli(args, options);
    }

    // The command's standard output, after it succeeded.
    std::string Out(const Args& args) const
    {
        const ProcessResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 0) << args.front() << " " << args.at(1) << ": " << r.err;
        return r.out;
    }

    int NewMessages() const { return sink_->WaitForMessages(0, std::chrono::milliseconds(0)) - baseline_; }

    TempDir tmp_;
    int baseline_ = 0;
};

TEST_F(CliTypesTest, AddUseInTheBookCountSendResendAndDeleteWhileInUse)
{
    // Two services: a mailbox of 10,000 bytes without overhead, and a pager
    // that takes a PIN as its Subject and counts the sender up to its "@"
    // (what add stored shows in the list at the end).
    EXPECT_EQ(Out({"types", "add", "docomo", "--limit", "10000", "--fixed", "0"}), "10\n");
    EXPECT_EQ(Out({"types", "add", "ポケベル", "--limit", "60", "--fixed", "5", "--sender", "up-to-at", "--subject",
                   "none", "--areas", "pin"}),
              "11\n");

    Out({"config", "set", "Configuration/DefaultType", "10"});
    Out({"book", "add", "太郎", "taro@example.jp", "--type", "10"});
    Out({"book", "add", "pager", "pager@example.jp", "--type", "11", "--pin", "1234"});
    Out({"book", "add", "花子", "hanako@example.jp", "--type", "10"});
    EXPECT_EQ(Out({"book", "list"}), "#0\tpager\tpager@example.jp\tポケベル\t-\n"
                                     "#1\t花子\thanako@example.jp\tdocomo\t-\n"
                                     "#2\t太郎\ttaro@example.jp\tdocomo\t-\n");

    const std::string hello = tmp_.Write("hello.txt", "hello").string();

    // 1,010 bytes: over the unspecified type's limit, within docomo's.
    std::string lines;
    for (int i = 0; i < 10; ++i) {
        lines += std::string(99, 'x') + "\n";
    }
    const std::string long_ = tmp_.Write("long.txt", lines).string();
    ProcessResult r = Cli({"send", "--entry", "太郎", "--subject", "件名", "--body-file", long_});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    r = Cli({"send", "--to", "direct@example.jp", "--type", "10", "--subject", "件名", "--body-file", long_});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    r = Cli({"send", "--entry", "pager", "--body-file", hello});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    ASSERT_EQ(NewMessages(), 3);
    EXPECT_EQ(sink_->Envelope(baseline_ + 1)["rcpt_tos"].toArray().first().toString(), "taro@example.jp");
    EXPECT_EQ(ParseStoredMail(sink_->MessagePath(baseline_ + 1))["body"].toString().count('x'), 990);
    EXPECT_EQ(ParseStoredMail(sink_->MessagePath(baseline_ + 3))["subject"].toString().trimmed(), "#1234");
    // The record names the type by its name, and the resend finds it again:
    // taken for unspecified, the body would be over the limit and not sent.
    const std::string record = Out({"history", "show", "1"});
    EXPECT_NE(record.find("X-ktml-PhoneType: docomo\n"), std::string::npos) << record;
    r = Cli({"history", "resend", "1", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    ASSERT_EQ(NewMessages(), 4);

    // In use, with --yes (without it, the cli row types_delete_in_use): its
    // entries become unspecified and the type is gone from every command.
    r = Cli({"types", "delete", "10", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "kitemail-cli types: now unspecified: 花子, 太郎\n"
                     "kitemail-cli types: the default type (Configuration/DefaultType) is now unspecified\n");
    EXPECT_EQ(Out({"config", "get", "Configuration/DefaultType"}), "-1\n");
    EXPECT_EQ(Out({"book", "list"}), "#0\tpager\tpager@example.jp\tポケベル\t-\n"
                                     "#1\t花子\thanako@example.jp\ttype -1\t-\n"
                                     "#2\t太郎\ttaro@example.jp\ttype -1\t-\n");
    EXPECT_EQ(Cli({"count", "--type", "10"}).exitCode, 2);
    EXPECT_EQ(Cli({"types", "delete", "10", "--yes"}).exitCode, 2);
    // Its number is free again; the other type kept its own.
    EXPECT_EQ(Out({"types", "add", "au", "--limit", "3000"}), "10\n");
    Out({"types", "set", "11", "--name", "pager", "--limit", "80"});
    EXPECT_EQ(Out({"types", "list", "--json"}),
              "[{\"areas\":[\"subject\"],\"attachments\":\"none\",\"finalBreak\":true,\"fixed\":0,\"limit\":3000,"
              "\"name\":\"au\",\"sender\":\"none\",\"shifts\":\"never\",\"subject\":\"plain\",\"type\":10},"
              "{\"areas\":[\"pin\"],\"attachments\":\"none\",\"finalBreak\":true,\"fixed\":5,\"limit\":80,"
              "\"name\":\"pager\",\"sender\":\"up-to-at\",\"shifts\":\"never\",\"subject\":\"none\",\"type\":11}]\n");
}

} // namespace
} // namespace kitemail::test
