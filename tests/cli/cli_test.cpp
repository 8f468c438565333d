// kitemail-cli run as a user runs it: arguments, files, standard input and
// output, exit codes; a setup from the shell and the history.

#include "file_bytes.h"
#include "golden.h"
#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "process_runner.h"
#include "scripted_ui.h"
#include "settings/settings.h"
#include "settings/settings_editor.h"
#include "settings/settings_file.h"
#include "smtp_sink.h"
#include "temp_dir.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <array>
#include <future>
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

// The golden pairs' texts of both directions, every character code and
// every kind of escape among them, end to end: tiny buffers cut escapes and
// pairs everywhere; the default one streams megabytes.
TEST(CliConvert, GivesTheMailBytesAndLargeInputIsByteIdenticalToConvertingItWhole)
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
    // The conversions themselves are the engine's (unit/jis_test); here,
    // that the bytes pass through unchanged, nothing included.
    EXPECT_EQ(Convert(home.path(), "--to-jis", "\x8A\xBF\r\n"), "\x1b$B4A\x1b(J\r\n");
    EXPECT_EQ(Convert(home.path(), "--to-jis", ""), "");
    EXPECT_EQ(Convert(home.path(), "--to-sjis", "\x1b$B4A\x1b(Ba\x1b$B%,\x1b(J\r\n"), "\x8A\xBF" "a\x83\x4B\r\n");
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

// Commands run two at a time change the settings file one after the other:
// none loses another's change, whatever the keys, and a hand-edited value
// is warned of and left as it was.
TEST(CliDataDir, ParallelWritersLoseNothing)
{
    TempDir home;
    const auto both = [&](const Args& first, const Args& second) {
        auto a = std::async(std::launch::async, [&] { return Cli(first, home.path()); });
        const ProcessResult b = Cli(second, home.path());
        const ProcessResult r = a.get();
        EXPECT_EQ(std::tuple(r.exitCode, b.exitCode), std::tuple(0, 0)) << r.err << b.err;
    };
    constexpr int kPairs = 20;
    for (int i = 0; i < kPairs; ++i) {
        const std::string n = std::to_string(i);
        both({"book", "add", "a" + n, "a" + n + "@example.jp", "--type", "3"},
             {"book", "add", "b" + n, "b" + n + "@example.jp", "--type", "3"});
    }
    EXPECT_EQ(LoadAllSettings(home.path()).AddressBook.size(), 2u * kPairs);
    int lost = 0;
    for (int i = 0; i < kPairs; ++i) {
        both({"config", "set", "Configuration/FromUser", "user" + std::to_string(i)},
             {"config", "set", "Length/0", std::to_string(1000 + i)});
        const Settings s = LoadAllSettings(home.path());
        lost += (s.FromUser != "user" + std::to_string(i)) + (s.TypeMaxLengths[0] != 1000 + i);
    }
    EXPECT_EQ(lost, 0);

    std::string file = ReadBytes(SettingsFilePath(home.path()));
    file.replace(file.find("Port=25"), 7, "Port=99999999999999999999");
    home.Write("Kiteml.ini", file);
    const ProcessResult set = Cli({"config", "set", "Configuration/Server", "smtp.example.jp"}, home.path());
    EXPECT_EQ(set.exitCode, 0);
    EXPECT_NE(set.err.find("kitemail-cli: warning: Kiteml.ini の "), std::string::npos) << set.err;
    EXPECT_NE(ReadBytes(SettingsFilePath(home.path())).find("Port=99999999999999999999\r\n"), std::string::npos);
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

// --- a user's setup from the shell -------------------------------------------

// Config and book, then a send; and the argument rules every command keeps.
class CliSetupTest : public SmtpSinkSuite {
protected:
    ProcessResult Cli(const Args& args, const std::string& input = "",
                      std::vector<std::pair<std::string, std::string>> env = {})
    {
        ProcessOptions options;
        options.setEnv = std::move(env);
        options.setEnv.emplace_back("KITEMAIL_HOME", home_.path().string());
        options.input = input;
        options.timeout = std::chrono::seconds(60);
        return RunCli(args, options);
    }
    // A step of the setup that must work silently.
    void Step(const Args& args, const std::string& input = "")
    {
        const ProcessResult r = Cli(args, input);
        EXPECT_EQ(r.exitCode, 0) << args[0] << " " << args[1] << ": " << r.err;
        EXPECT_EQ(r.err, "");
    }

    TempDir home_;
};

// The README's setup, then one mail to the entry numbered by `book list`.
TEST_F(CliSetupTest, SetupFromTheShellWritesWhatTheDialogWritesAndSends)
{
    const std::string port = std::to_string(sink_->Port());
    Step({"config", "set", "Configuration/Server", "127.0.0.1"});
    Step({"config", "set", "configuration/port", port}); // names in any case, as the file's
    Step({"config", "set", "MyAddress/0", "me@example.jp"});
    Step({"config", "set", "MyAddress/1", "other@example.jp,reply@example.jp"});
    Step({"config", "set", "Configuration/FromUser", "山田太郎"});
    Step({"config", "set", "Configuration/21", "on"});
    Step({"config", "unset", "Configuration/21"});
    Step({"config", "set", "Network/ReplyTimeout", "120"});
    Step({"config", "password", "pop3"}, "pop-secret\n");
    Step({"book", "add", "太郎", "taro@example.jp", "--type", "3", "--sender", "1"});
    Step({"book", "add", "花子", "hanako@example.jp", "--type", "6", "--pin", "1234"});
    Step({"book", "add", "次郎", "jiro@example.jp", "--type", "0"});
    Step({"book", "delete", "#1", "--yes"}); // sorted: 次郎 (8E 9F) after 花子 (89 D4), before 太郎 (91 BE)

    // The same values through the settings model, as the dialog saves them.
    TempDir model;
    Settings s;
    ScriptedUserInterface ui;
    SettingsEditor editor(s, ui);
    SettingsFile file(model.path());
    (void)editor.Load(file);
    s.Server = "127.0.0.1";
    s.Port = sink_->Port();
    s.SenderList = {"me@example.jp", "other@example.jp,reply@example.jp"};
    s.FromUser = Sj("山田太郎");
    s.POP3PASS = "pop-secret";
    s.ReplyTimeout = 120;
    s.AddressBook = {Sj("花子,hanako@example.jp,1234,6,-1"), Sj("次郎,jiro@example.jp,,0,-1"),
                     Sj("太郎,taro@example.jp,,3,1")};
    ASSERT_TRUE(editor.Save(file).ok());
    // The deletion leaves the last key of the longer list, as the dialog's save does.
    s.AddressBook.erase(s.AddressBook.begin() + 1);
    ASSERT_TRUE(editor.Save(file).ok());
    EXPECT_EQ(ReadBytes(SettingsFilePath(home_.path())), ReadBytes(SettingsFilePath(model.path())));

    const ProcessResult list = Cli({"book", "list"});
    EXPECT_EQ(list.out, "#0\t花子\thanako@example.jp\tEZweb@mail\t-\n"
                        "#1\t太郎\ttaro@example.jp\ti-mode\tother@example.jp,reply@example.jp\n");
    const QJsonArray book = QJsonDocument::fromJson(QByteArray::fromStdString(Cli({"book", "list", "--json"}).out)).array();
    ASSERT_EQ(book.size(), 2);
    EXPECT_EQ(book[0]["pin"].toString(), "1234");
    EXPECT_EQ(book[1]["senderAddress"].toString(), "other@example.jp,reply@example.jp");

    TempDir files;
    const std::string body = files.Write("body.txt", "こんにちは\n").string();
    const int before = sink_->WaitForMessages(0, std::chrono::milliseconds(0));
    const ProcessResult sent = Cli({"send", "--entry", "#1", "--subject", "件名", "--body-file", body, "--json"});
    EXPECT_EQ(sent.exitCode, 0) << sent.err;
    ASSERT_EQ(sink_->WaitForMessages(before + 1, std::chrono::seconds(5)), before + 1);
    EXPECT_EQ(sink_->Envelope(before + 1)["mail_from"].toString(), "other@example.jp");
    // One object per mail on standard output; the status texts on standard error.
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(sent.out)).object();
    EXPECT_EQ(report["recipient"].toString(), "taro@example.jp");
    EXPECT_EQ(report["result"].toString(), "sent");
    EXPECT_EQ(report["error"].toInt(-1), 0);
    EXPECT_EQ(report["parts"].toInt(), 1);
    EXPECT_TRUE(fs::is_regular_file(report["history"].toString().toStdString())) << sent.out;
    EXPECT_NE(sent.err.find("送信完了：エラーはありません。"), std::string::npos) << sent.err;
}

// Refusals change nothing in the file and say what was wrong; the exit
// status tells usage (2) from a failure of the work (1).
TEST_F(CliSetupTest, RefusalsAndArgumentRules)
{
    Step({"config", "set", "MyAddress/0", "me@example.jp"});
    Step({"config", "set", "Configuration/Server", "127.0.0.1"});
    Step({"book", "add", "太郎", "taro@example.jp", "--type", "3"});
    const std::string file = ReadBytes(SettingsFilePath(home_.path()));
    struct Row { const char* name; Args args; int exit; std::string said; };
    const Row rows[] = {
        {"a value out of range", {"config", "set", "Configuration/Interval", "30"}, 2, "30 is out of range 0..10"},
        {"a fixed count above the limit", {"config", "set", "Configuration/FixLen", "400"}, 2, "above MaxLen (384)"},
        {"a character Shift_JIS cannot hold", {"config", "set", "Configuration/FromUser", "花子😀"}, 2, "U+1F600"},
        {"a password as an argument", {"config", "set", "Submission/AuthPass", "x"}, 2, "config password smtp"},
        {"a time-out out of range", {"config", "set", "Network/DataTimeout", "0"}, 2, "0 is out of range 1..3600"},
        {"a value the file would give back cut", {"config", "set", "Configuration/SignatureA", std::string(2048, 'x')},
         2, "too long for the settings file"},
        {"no such key", {"config", "get", "Configuration/Nothing"}, 2, "no setting 'Configuration/Nothing'"},
        {"a sender past the end", {"config", "set", "MyAddress/5", "x@y"}, 2, "the sender list has 1 items"},
        {"the editor's own refusal", {"book", "add", "a,b", "x@y", "--type", "0"}, 2, "入力データには"},
        {"no type", {"book", "add", "a", "x@y"}, 2, "端末タイプを指定してください。"},
        {"a deletion not confirmed", {"book", "delete", "#0"}, 1, "-> no (give --yes"},
        {"no such entry", {"book", "move", "#3", "up"}, 2, "the address book has 1 entries"},
        {"moving in a sorted book", {"book", "move", "#0", "down"}, 2, "book sort off"},
        {"an unknown option shows the usage", {"book", "list", "--long"}, 2, "Usage: kitemail-cli [--data-dir DIR] book list"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ProcessResult r = Cli(row.args);
        EXPECT_EQ(r.exitCode, row.exit);
        EXPECT_NE(r.err.find(row.said), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(ReadBytes(SettingsFilePath(home_.path())), file);

    // A value is the next argument whatever it starts with; "--" ends the
    // options. A dry run waits for nothing between the parts.
    Step({"config", "set", "Configuration/Interval", "10"});
    std::string body;
    for (int i = 0; i < 24; ++i) {
        body += std::string(49, 'a') + "\n";
    }
    const ProcessResult dry = Cli({"send", "--to", "you@example.jp", "--type", "3", "--subject", "-h", "--split",
                                   "yes", "--body-file", "-", "--dry-run", "--json"}, body);
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_EQ(std::ranges::count(dry.out, '\n'), 3) << dry.out;
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(dry.out.substr(0, dry.out.find('\n'))))
                  .object()["subject"].toString(), "-h");
    EXPECT_EQ(dry.err.find("送信待機中"), std::string::npos) << dry.err;
    Step({"book", "add", "--type", "3", "--", "-x-", "--yes@example.jp"});
    EXPECT_NE(Cli({"book", "list"}).out.find("#0\t-x-\t--yes@example.jp\t"), std::string::npos);

    // In the user's own order: added at the end, moved, replaced in place.
    Step({"book", "sort", "off"});
    Step({"book", "add", "次郎", "jiro@example.jp", "--type", "0", "--sender", "0"});
    Step({"book", "move", "#2", "up"});
    Step({"book", "replace", "#1", "--type", "6", "--sender", "none"});
    Step({"book", "move", "#0", "up"}); // the first stays first, as "↑" does
    EXPECT_EQ(Cli({"book", "list"}).out, "#0\t-x-\t--yes@example.jp\ti-mode\t-\n"
                                         "#1\t次郎\tjiro@example.jp\tEZweb@mail\t-\n"
                                         "#2\t太郎\ttaro@example.jp\ti-mode\t-\n");

    // A password from the environment is never sent with a character replaced.
    Step({"config", "set", "Submission/AuthMethod", "1"});
    Step({"config", "set", "Submission/AuthUser", "taro"});
    const ProcessResult r = Cli({"send", "--entry", "#2", "--subject", "s", "--yes"}, "",
                                {{"KITEMAIL_SMTP_PASSWORD", "pass😀"}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("KITEMAIL_SMTP_PASSWORD holds characters Shift_JIS cannot hold: U+1F600"),
              std::string::npos) << r.err;
}

TEST_F(CliSetupTest, UnusableSettingsFileAndOutput)
{
    // A settings file that cannot be read is named with the reason, not read as defaults.
    const fs::path ini = SettingsFilePath(home_.path());
    fs::create_directory(ini);
    ProcessResult r = Cli({"send", "--to", "you@example.jp", "--type", "3", "--dry-run"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("cannot read the settings file " + ini.string() + ": read: Is a directory"), std::string::npos)
        << r.err;
    fs::remove(ini);
    WriteBytes(ini, "[Configuration]\r\nFromUser=\xFF\r\n");
    r = Cli({"config", "list"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(ini.string() + " is not Shift_JIS text"), std::string::npos) << r.err;
    fs::remove(ini);

    // Output that cannot be written is reported, whatever printed it, and
    // fails the command (send exits by its mails: this one is refused, as
    // no sender is set).
    for (const Args& args : {Args{"send", "--to", "you@example.jp", "--type", "3", "--yes", "--dry-run"},
                             Args{"config", "list"}, Args{"--help"}}) {
        Args shell = {"-c", "exec \"$0\" \"$@\" >/dev/full", KITEMAIL_CLI_PATH};
        shell.insert(shell.end(), args.begin(), args.end());
        ProcessOptions options;
        options.setEnv.emplace_back("KITEMAIL_HOME", home_.path().string());
        r = RunProcess("/bin/sh", shell, options);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_NE(r.err.find("cannot write output: No space left on device"), std::string::npos) << r.err;
    }
}

} // namespace
} // namespace kitemail::test
