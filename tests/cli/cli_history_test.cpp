// kitemail-cli history run as a user runs it, on a data folder whose mail/
// holds records to two recipients, a folder named like a record and a file
// that is not one.

#include "platform/text_codec.h"
#include "process_runner.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

std::string Record(const std::string& to, const std::string& subject, const std::string& result,
                   const std::string& body)
{
    return "To: " + to + "\r\nDate: Fri, 05 June 2026 06:42:13\r\nSubject: " + subject +
           "\r\nFrom: me@example.jp\r\nMessage-ID: 20260605064213.1_me@example.jp\r\nX-ktml-Result: " + result +
           "\r\nX-Mailer: Kitemail Pro Version 0.50\r\n\r\n" + body + "\r\n";
}

std::string Lf(std::string text)
{
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

class CliHistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(dir.path() / "mail");
        dir.Write("mail/2026060506421300.eml", Record("a@x.jp", Sj("件名"), "Succeed", Sj("本文")));
        dir.Write("mail/2026060506421301.eml", Record("b@x.jp", "", "Connect Timeout Error", "x\x85\x40y"));
        dir.Write("mail/2026060506421302.eml", Record("a@x.jp", "re", "Succeed", ".last"));
        fs::create_directory(dir.path() / "mail" / "2026060506421303.eml");
        dir.Write("mail/notes.txt", "kept");
    }
    ProcessResult Run(Args args, const std::string& input = {})
    {
        args.insert(args.begin(), {"--data-dir", dir.path().string(), "history"});
        ProcessOptions options;
        options.input = input;
        return RunCli(args, options);
    }

    TempDir dir;
};

TEST_F(CliHistoryTest, ListAndShowNumberAsTheWindowDoes)
{
    const std::string first = "1\tFri, 05 June 2026 06:42:13\ta@x.jp\t件名\tSucceed\n";
    const std::string second = "2\tFri, 05 June 2026 06:42:13\tb@x.jp\t\tConnect Timeout Error\n";
    const std::string third = "3\tFri, 05 June 2026 06:42:13\ta@x.jp\tre\tSucceed\n";
    const struct {
        const char* name;
        Args args;
        int exit;
        std::string out;
        std::string err; // contained in standard error
    } rows[] = {
        {"everything oldest first", {"list"}, 0, first + second + third, "record 2 holds bytes"},
        {"one recipient keeps its numbers", {"list", "--to", "a@x.jp"}, 0, first + third, ""},
        {"recipient in shift_jis", {"list", "--to=b@x.jp", "--sjis"}, 0, second, ""},
        {"nobody", {"list", "--to", "c@x.jp"}, 0, "", ""},
        {"show decodes, LF line ends", {"show", "1"}, 0, Lf(Record("a@x.jp", "件名", "Succeed", "本文")), ""},
        {"show names what is no shift_jis", {"show", "2"}, 0,
         Lf(Record("b@x.jp", "", "Connect Timeout Error", "x\uFFFDy")), "9行目 85 40"},
        {"show as stored", {"show", "3", "--sjis"}, 0, Record("a@x.jp", "re", "Succeed", ".last"), ""},
        {"a folder has a number but no record", {"show", "4"}, 2, "", "no record 4"},
        {"past the end", {"delete", "9"}, 2, "", "no record 9"},
        {"zero", {"show", "0"}, 2, "", "start at 1"},
        {"not a number", {"show", "x"}, 2, "", "not a whole number"},
        {"number missing", {"delete"}, 2, "", "needs a record number"},
        {"clear unconfirmed", {"clear"}, 2, "", "--yes"},
        {"unknown action", {"purge"}, 2, "", "unknown history action"},
        {"no action", {}, 2, "", "list, show N"},
        {"option of another action", {"delete", "1", "--to", "a"}, 2, "", "unknown option '--to'"},
        {"option before the action", {"--to", "a", "list"}, 2, "", "unknown option '--to'"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ProcessResult r = Run(row.args);
        EXPECT_EQ(r.exitCode, row.exit) << r.err;
        EXPECT_EQ(r.out, row.out);
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    }
    const ProcessResult help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: kitemail-cli [--data-dir DIR] history list")) << help.out;
}

TEST_F(CliHistoryTest, DeleteOneThenClearLeavesOtherFiles)
{
    ProcessResult r = Run({"delete", "2"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(fs::exists(dir.path() / "mail" / "2026060506421301.eml"));
    r = Run({"list"});
    EXPECT_EQ(r.out, "1\tFri, 05 June 2026 06:42:13\ta@x.jp\t件名\tSucceed\n"
                     "2\tFri, 05 June 2026 06:42:13\ta@x.jp\tre\tSucceed\n");

    r = Run({"clear", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Run({"list"}).out, "");
    EXPECT_TRUE(fs::exists(dir.path() / "mail" / "notes.txt"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "mail" / "2026060506421303.eml"));

    // A data folder where mail/ cannot be made.
    TempDir other;
    other.Write("mail", "a file");
    r = RunCli({"--data-dir", other.path().string(), "history", "list"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("送信履歴フォルダが不正です。"), std::string::npos) << r.err;
}

} // namespace
} // namespace kitemail::test
