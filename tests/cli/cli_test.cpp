// kitemail-cli run as a user runs it: arguments, files, standard input and
// output, exit codes; a setup from the shell and the history.

#include "file_bytes.h"
#include "golden.h"
#include "platform/data_dir.h"
#include "process_runner.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "smtp_sink.h"
#include "temp_dir.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <future>
#include <numeric>
#include <tuple>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Every run gets a data folder of its own (AtHome), so that no
// test reads the settings of the user or of the build folder.

// A copy of tests/data/cli/NAME.home in `to`.
void CopyHome(const std::string& name, const fs::path& to)
{
    fs::copy(GoldenPath("cli", name + ".home"), to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

// --- the rows of tests/data/cli ---------------------------------------------

// NAME.args: the arguments separated by NUL bytes, then optionally two NUL
// bytes and standard input (the fuzz corpus's format: the rows seed it).
// NAME.expected: the exit code, standard output and standard error, with
// "<home>" for the data folder. The data folder, also the working folder,
// starts as a copy of PREFIX.home (PREFIX the name up to its first "_")
// when there is one, with NAME.ini as its settings file when there is one.
// A run that fails leaves the settings file as it was. NAME.files.expected,
// when there is one, lists what the data folder's mail/ holds afterwards.
std::vector<std::string> RowNames()
{
    std::vector<std::string> names;
    for (const std::string& name : GoldenNames("cli")) {
        if (name.ends_with(".args")) {
            names.push_back(name.substr(0, name.size() - 5));
        }
    }
    return names;
}

class CliRow : public ::testing::TestWithParam<std::string> {};

TEST_P(CliRow, GivesTheExpectedOutput)
{
    const std::string& name = GetParam();
    TempDir home;
    if (fs::is_directory(GoldenPath("cli", name.substr(0, name.find('_')) + ".home"))) {
        CopyHome(name.substr(0, name.find('_')), home.path());
    }
    const fs::path ini = SettingsFilePath(home.path());
    if (fs::exists(GoldenPath("cli", name + ".ini"))) {
        fs::copy_file(GoldenPath("cli", name + ".ini"), ini);
    }
    const std::string before = fs::is_regular_file(ini) ? ReadBytes(ini) : "";
    std::string input = GoldenInput("cli", name + ".args");
    ProcessOptions o = AtHome(home.path());
    o.workingDir = home.path().string();
    if (const std::size_t split = input.find(std::string_view("\0\0", 2)); split != std::string::npos) {
        o.input = input.substr(split + 2);
        input.resize(split);
    }
    Args args;
    for (std::size_t start = 0, end = 0; !input.empty() && end != std::string::npos; start = end + 1) {
        end = input.find('\0', start);
        args.push_back(input.substr(start, end - start));
    }
    const ProcessResult r = RunCli(args, o);
    const auto homeAsSaid = [&](std::string text) {
        for (std::size_t at; (at = text.find(home.path().string())) != std::string::npos;) {
            text.replace(at, home.path().string().size(), "<home>");
        }
        return text;
    };
    ExpectGolden("cli", name,
                 "exit " + std::to_string(r.exitCode) + "\n--- stdout\n" + homeAsSaid(r.out) + "--- stderr\n" +
                     homeAsSaid(r.err));
    if (r.exitCode != 0) {
        EXPECT_EQ(fs::is_regular_file(ini) ? ReadBytes(ini) : "", before) << "a refusal changed the settings";
    }
    if (fs::exists(GoldenPath("cli", name + ".files.expected"))) {
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(home.path() / "mail")) {
            files.push_back(fs::relative(entry.path(), home.path()).string() + "\n");
        }
        std::ranges::sort(files);
        ExpectGolden("cli", name + ".files", std::accumulate(files.begin(), files.end(), std::string()));
    }
}

INSTANTIATE_TEST_SUITE_P(Data, CliRow, ::testing::ValuesIn(RowNames()), GoldenRowName());

// --- convert ----------------------------------------------------------------

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
            for (const auto& [direction, input, expected] :
                 {std::tuple("--to-jis", toJis, SjisToJis(toJis)), std::tuple("--to-sjis", toSjis, JisToSjis(toSjis))}) {
                Args args = {"convert", direction};
                if (!buffer.empty()) {
                    args.insert(args.end(), {"--buffer-size", buffer});
                }
                const ProcessResult r = RunCli(args, AtHome(home.path(), input));
                EXPECT_EQ(std::tuple(r.exitCode, r.err), std::tuple(0, "")) << direction << buffer;
                // Not EXPECT_EQ: a difference would print megabytes.
                EXPECT_TRUE(r.out == expected) << direction << " " << buffer;
            }
        }
    }
}

// A relative path counts as the full one: size + path + 20.
TEST(CliCount, AnAttachmentCountsWithItsFullPath)
{
    TempDir files;
    const std::size_t path = files.Write("photo.jpg", std::string(1000, 'x')).string().size();
    ProcessOptions o = AtHome(files.path());
    o.workingDir = files.path().string();
    const ProcessResult r = RunCli({"count", "--type", "0", "--attach", "photo.jpg"}, o);
    EXPECT_EQ(r.out, std::to_string(1075 + path) + " / 6000\n") << r.err;
}

// Commands run two at a time change the settings file one after the other:
// none loses another's change, whatever the keys, and a hand-edited value
// is warned of and left as it was.
TEST(CliDataDir, ParallelWritersLoseNothing)
{
    TempDir home;
    const ProcessOptions at = AtHome(home.path());
    const auto both = [&](const Args& first, const Args& second) {
        auto a = std::async(std::launch::async, [&] { return RunCli(first, at); });
        const ProcessResult b = RunCli(second, at);
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
    const ProcessResult set = RunCli({"config", "set", "Configuration/Server", "smtp.example.jp"}, at);
    EXPECT_EQ(set.exitCode, 0);
    EXPECT_NE(set.err.find("kitemail-cli: warning: Kiteml.ini の "), std::string::npos) << set.err;
    EXPECT_NE(ReadBytes(SettingsFilePath(home.path())).find("Port=99999999999999999999\r\n"), std::string::npos);
}

// --- a user's setup from the shell -------------------------------------------

// Config and book, then a send; and the argument rules every command keeps.
class CliSetupTest : public SmtpSinkSuite {
protected:
    ProcessResult Cli(const Args& args, const std::string& input = "",
                      std::vector<std::pair<std::string, std::string>> env = {})
    {
        ProcessOptions options = AtHome(home_.path(), input);
        options.setEnv = std::move(env);
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
    for (TableRow step : ReadTable("cli_setup")) {
        std::ranges::replace(step.cells, std::string("<port>"), port);
        Step(step.cells);
    }
    Step({"config", "password", "pop3"}, "pop-secret\n");
    // What the dialog writes for the same values (a deletion leaves the
    // last key of the longer list, as the dialog's save does).
    std::string ini = ReadBytes(SettingsFilePath(home_.path()));
    ExpectGolden("settings", "cli_setup", ini.replace(ini.find("\r\nPort=" + port), 7 + port.size(), "\r\nPort=<port>"));

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

// The argument rules every command keeps, and the user's own order of the
// book; the refusals are rows (refuse_*), and so is a value like an option
// (send_dry_run_value_like_an_option).
TEST_F(CliSetupTest, ArgumentRulesAndTheBookInTheUsersOrder)
{
    CopyHome("refuse", home_.path());
    // "--" ends the options (a value that looks like one: a row).
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

TEST(CliFrame, OutputThatCannotBeWrittenFailsTheCommand)
{
    TempDir home;
    // Output that cannot be written is reported, whatever printed it, and
    // fails the command (send exits by its mails: this one is refused, as
    // no sender is set).
    for (const Args& args : {Args{"send", "--to", "you@example.jp", "--type", "3", "--yes", "--dry-run"},
                             Args{"config", "list"}, Args{"--help"}}) {
        Args shell = {"-c", "exec \"$0\" \"$@\" >/dev/full", KITEMAIL_CLI_PATH};
        shell.insert(shell.end(), args.begin(), args.end());
        const ProcessResult r = RunProcess("/bin/sh", shell, AtHome(home.path()));
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_NE(r.err.find("cannot write output: No space left on device"), std::string::npos) << r.err;
    }
}

} // namespace
} // namespace kitemail::test
