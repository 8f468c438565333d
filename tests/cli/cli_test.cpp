// kitemail-cli run as a user runs it: arguments, files, standard input and
// output, exit codes.

#include "file_bytes.h"
#include "golden.h"
#include "platform/text_codec.h"
#include "process_runner.h"
#include "temp_dir.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Every run gets a data folder of its own through KITEMAIL_HOME, so that no
// test reads the settings of the user or of the build folder.
ProcessResult Cli(const Args& args, const fs::path& home, ProcessOptions options = {})
{
    options.setEnv.emplace_back("KITEMAIL_HOME", home.string());
    return RunCli(args, options);
}

// convert on `input`, which must succeed silently; gives the output.
std::string Convert(const fs::path& home, const std::string& direction, const std::string& input, Args more = {})
{
    more.insert(more.begin(), {"convert", direction});
    ProcessOptions o;
    o.input = input;
    const ProcessResult r = Cli(more, home, o);
    EXPECT_EQ(r.exitCode, 0) << direction << ": " << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
}

// --- the tool's frame -------------------------------------------------------

// Help: exit 0, the usage at the head of standard output. A fault: exit 2,
// nothing on standard output, and standard error names the fault once.
TEST(CliFrame, HelpAndBadArgumentsAndInput)
{
    TempDir dir;
    dir.Write("emoji.txt", "ok 😀 then more text 😀");
    dir.Write("sjis.txt", Sj("漢字"));
    fs::create_directory(dir.path() / "a-folder");
    const std::string tool = "Usage: kitemail-cli [--data-dir DIR] COMMAND";
    const std::string count = "Usage: kitemail-cli [--data-dir DIR] count";
    const std::vector<std::pair<Args, std::string>> rows = {
        {{"--help"}, tool}, {{"-h"}, tool}, {{"help"}, tool}, {{"help", "convert"}, "Usage: kitemail-cli convert"},
        {{"count", "--type", "0", "-h"}, count}, {{"--data-dir", dir.path().string(), "count", "--help"}, count},
        {{"history", "--help"}, "Usage: kitemail-cli [--data-dir DIR] history list"},
        {{}, "no command given"}, {{"send-all"}, "unknown command 'send-all'"},
        {{"--verbose", "count", "--type", "0"}, "unknown option '--verbose'"},
        {{"--data-dir"}, "--data-dir needs a folder"}, {{"convert"}, "--to-jis or --to-sjis"},
        {{"convert", "--to-jis", "--to-sjis"}, "only one of"},
        {{"convert", "--to-jis", "file.txt"}, "unexpected argument 'file.txt'"},
        {{"count", "--subject", "x"}, "--type is required"}, {{"count", "--type", "10"}, "not 10"},
        {{"count", "--type", "99999999999"}, "not a whole number"}, {{"count", "--type"}, "--type needs a value"},
        {{"count", "--type", "0", "--subjet=x"}, "unknown option '--subjet'"},
        {{"count", "--type", "0", "--body-file", "/nonexistent/body.txt"}, "cannot open '/nonexistent/body.txt'"},
        {{"count", "--type", "0", "--attach="}, "--attach needs a file"},
        {{"diet", "--trim"}, "unknown option '--trim'"}, {{"vertical", "x"}, "unexpected argument 'x'"},
        {{"preview", "--columns", "21"}, "--columns must be 6 to 20, not 21"},
        // What Shift_JIS cannot hold is named, each character once.
        {{"count", "--type", "3", "--body-file", "emoji.txt"}, "U+1F600"},
        {{"count", "--type", "0", "--sender", "😀@example.jp"}, "U+1F600"},
        {{"count", "--type", "3", "--body-file", "sjis.txt"}, "not valid UTF-8 (give --sjis"},
        // An attachment that cannot be read fails the count; no number is printed.
        {{"count", "--type", "0", "--attach", "missing.jpg"}, (dir.path() / "missing.jpg").string()},
        {{"count", "--type", "0", "--attach", "a-folder"}, (dir.path() / "a-folder").string()},
    };
    ProcessOptions o;
    o.workingDir = dir.path().string();
    for (const auto& [args, text] : rows) {
        SCOPED_TRACE(text);
        const ProcessResult r = Cli(args, dir.path(), o);
        const bool help = text.starts_with("Usage: ");
        const std::string& said = help ? r.out : r.err;
        EXPECT_EQ(r.exitCode, help ? 0 : 2);
        EXPECT_EQ(help ? r.err : r.out, "");
        EXPECT_NE(said.find(text), std::string::npos) << said;
        EXPECT_EQ(said.find(text), help ? 0 : said.rfind(text)) << said;
    }
}

// --- convert ----------------------------------------------------------------

// The conversions themselves are the engine's (unit/jis_test); here, that
// the bytes pass through unchanged, nothing included.
TEST(CliConvert, GivesTheMailBytes)
{
    TempDir home;
    const std::vector<std::array<std::string, 3>> rows = {
        {"--to-jis", "\x8A\xBF\r\n", "\x1b$B4A\x1b(J\r\n"},
        {"--to-jis", "", ""},
        {"--to-sjis", "\x1b$B4A\x1b(Ba\x1b$B%,\x1b(J\r\n", "\x8A\xBF" "a\x83\x4B\r\n"},
    };
    for (const auto& [direction, in, out] : rows) {
        EXPECT_EQ(Convert(home.path(), direction, in), out);
    }
}

// The golden pairs' texts of both directions, every character code and
// every kind of escape among them, end to end: tiny buffers cut escapes and
// pairs everywhere; the default one streams megabytes.
TEST(CliConvert, LargeInputIsByteIdenticalToConvertingItWhole)
{
    TempDir home;
    std::string sjis;
    std::string jis;
    for (const std::string& name : GoldenNames("to_jis")) {
        sjis += GoldenInput("to_jis", name);
        jis += ReadBytes(GoldenPath("to_jis", name + ".expected"));
    }
    for (const std::string& name : GoldenNames("to_sjis")) {
        jis += GoldenInput("to_sjis", name);
    }
    const auto large = [](const std::string& text) {
        std::string out;
        while (out.size() < 4'000'000) {
            out += text;
        }
        return out;
    };
    // Each plan: the texts, then the buffer sizes ("" the default).
    const std::vector<std::tuple<std::string, std::string, Args>> plans = {
        {sjis, jis + "\x1b$", {"16", "17", "19", "1000"}}, {large(sjis), large(jis), {"65536", ""}}};
    for (const auto& [toJis, toSjis, buffers] : plans) {
        for (const std::string& buffer : buffers) {
            const Args more = buffer.empty() ? Args{} : Args{"--buffer-size", buffer};
            // Not EXPECT_EQ: a difference would print megabytes.
            EXPECT_TRUE(Convert(home.path(), "--to-jis", toJis, more) == SjisToJis(toJis)) << "to-jis " << buffer;
            EXPECT_TRUE(Convert(home.path(), "--to-sjis", toSjis, more) == JisToSjis(toSjis)) << "to-sjis " << buffer;
        }
    }
}

// --- count ------------------------------------------------------------------

// Counts worked out by hand from the counting rules: one per kind of setting,
// and the input handling the command adds. Each row: Kiteml.ini in the data
// folder (none when empty), the body on standard input, the arguments after
// "count" (attachments are found in `files`), the output.
TEST(CliCount, PrintsCountAndLimit)
{
    struct Row { const char* name; std::string ini, body; Args args; std::string output; };
    TempDir files;
    const std::size_t path = files.Write("photo.jpg", std::string(1000, 'x')).string().size();
    const Args longMail = {"--type", "0", "--subject", "Hi", "--sender", "123456789012345"};
    const Row rows[] = {
        // F 55 + sender 15 + subject 2 + body 13 + 3 x 2 shifts (spaces assumed at both ends)
        {"defaults", "", "あいうえおabc", longMail, "91 / 6000\n"},
        // [MyAddress] item 0 (13 bytes) unless a sender is given; limits from [Length].
        {"sender from the list", "[MyAddress]\nHow=2\n0=me@example.jp\n1=x@y\n[Length]\n6=7777\n", "abc",
         {"--type", "6"}, "46 / 7777\n"},
        {"given sender wins", "[MyAddress]\nHow=1\n0=me@example.jp\n", "abc", {"--type", "6", "--sender", "a@b"},
         "36 / 10000\n"},
        // Unspecified type: MaxLen and FixLen, and shifts with 3Byte.
        {"3Byte on", "[Configuration]\nMaxLen=1000\nFixLen=20\n3Byte=1\n", "漢a", {"--type", "-1", "--json"},
         "{\"count\":29,\"limit\":1000,\"over\":false,\"type\":-1}\n"},
        // Every line break counts as CR LF; a byte order mark is no text.
        {"line breaks", "", "\xEF\xBB\xBF" "a\nb\rc\r\n\n", {"--type", "3"}, "11 / 500\n"},
        // Cmail: F 13, limit 100. Over the limit is counted all the same.
        {"past the limit", "", std::string(88, 'a'), {"--type", "5", "--json"},
         "{\"count\":101,\"limit\":100,\"over\":true,\"type\":5}\n"},
        // F 55 + sender 17 + subject 4 + 2 shifts + body 15 + 2 shifts; --sjis: the same as bytes.
        {"utf-8 texts", "", "漢字とｶﾅ\nabc", {"--type", "0", "--subject", "件名", "--sender", "送信者@example.jp"},
         "103 / 6000\n"},
        {"sjis texts", "", Sj("漢字とｶﾅ\nabc"),
         {"--type", "0", "--subject", Sj("件名"), "--sender", Sj("送信者@example.jp"), "--sjis"}, "103 / 6000\n"},
        // A relative path counts as the full one: size + path + 20.
        {"attachment", "", "", {"--type", "0", "--attach", "photo.jpg"}, std::to_string(1075 + path) + " / 6000\n"},
    };
    ProcessOptions o;
    o.workingDir = files.path().string();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir data;
        if (!row.ini.empty()) {
            data.Write("Kiteml.ini", row.ini);
        }
        Args args = {"count", "--body-file", "-"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        o.input = row.body;
        const ProcessResult r = Cli(args, data.path(), o);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, row.output);
        EXPECT_EQ(r.err, "");
    }
}

// --- the text tools ---------------------------------------------------------

// The window's tools as filters, on rows of their engine tables: the body
// read as the window opens a file (a final break ends the last line), every
// line written with a break after it.
TEST(CliTextTools, FilterStandardInput)
{
    struct Row { const char* name; Args args; std::string in, out; int exit = 0; std::string err = ""; };
    const Row rows[] = {
        {"diet by default: end blanks and empty lines", {"diet"}, "a \n \t \n\nb\n", "a\nb\n"},
        {"diet with options", {"diet", "--leading", "--inner", "--join"}, " a b\ncd\n", "abcd\n"},
        {"diet of nothing", {"diet"}, "", "", 1, "文章が空なので実行できません。"},
        {"vertical", {"vertical"}, "ab\ncd\n", "a\nb\n\nc\nd\n"},
        {"preview at 10 columns", {"preview", "--columns", "10"}, "a" + std::string(36, 'x') + "\n",
         std::string("a") + std::string(19, 'x') + "\n" + std::string(17, 'x') + "\n"},
        {"Shift_JIS in and out", {"vertical", "--sjis"}, Sj("あい\r\n"), Sj("あ\r\nい\r\n")},
        {"not Shift_JIS", {"diet", "--sjis"}, "\x82\xFF", "", 2, "standard input is not Shift_JIS text"},
        {"what Shift_JIS cannot hold", {"preview"}, "😀", "", 2, "U+1F600"},
    };
    TempDir home;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ProcessOptions o;
        o.input = row.in;
        const ProcessResult r = Cli(row.args, home.path(), o);
        EXPECT_EQ(r.exitCode, row.exit) << r.err;
        EXPECT_EQ(r.out, row.out);
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_EQ(r.err.empty(), row.err.empty()) << r.err;
    }
    // Without --columns, the preview window's column count.
    home.Write("Kiteml.ini", "[Configuration]\nVCount=6\n");
    ProcessOptions o;
    o.input = std::string(13, 'x');
    EXPECT_EQ(Cli({"preview"}, home.path(), o).out, std::string(12, 'x') + "\nx\n");
}

TEST(CliDataDir, OptionOverridesTheEnvironment)
{
    TempDir fromEnv, fromOption;
    fromEnv.Write("Kiteml.ini", "[Length]\n3=1234\n");
    fromOption.Write("Kiteml.ini", "[Length]\n3=4321\n");
    EXPECT_EQ(Cli({"count", "--type", "3"}, fromEnv.path()).out, "0 / 1234\n");
    EXPECT_EQ(Cli({"--data-dir=" + fromOption.path().string(), "count", "--type", "3"}, fromEnv.path()).out,
              "0 / 4321\n");
}

// --- history ----------------------------------------------------------------

// A data folder whose mail/ holds records to two recipients, a folder named
// like a record and a file that is not one.
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
    ProcessResult Run(Args args)
    {
        args.insert(args.begin(), {"--data-dir", dir.path().string(), "history"});
        return RunCli(args);
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
