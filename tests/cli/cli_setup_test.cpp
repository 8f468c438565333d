// A user's setup from the shell with config and book, then a send; and the
// argument rules every command keeps.

#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "process_runner.h"
#include "file_bytes.h"
#include "scripted_ui.h"
#include "settings/settings.h"
#include "settings/settings_editor.h"
#include "smtp_sink.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <filesystem>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

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
    (void)editor.Load(SettingsFilePath(model.path()), SignaturePath(model.path()));
    s.Server = "127.0.0.1";
    s.Port = sink_->Port();
    s.SenderList = {"me@example.jp", "other@example.jp,reply@example.jp"};
    s.FromUser = Sj("山田太郎");
    s.POP3PASS = "pop-secret";
    s.AddressBook = {Sj("花子,hanako@example.jp,1234,6,-1"), Sj("次郎,jiro@example.jp,,0,-1"),
                     Sj("太郎,taro@example.jp,,3,1")};
    ASSERT_TRUE(editor.Save(SettingsFilePath(model.path()), SignaturePath(model.path())).ok());
    // The deletion leaves the last key of the longer list, as the dialog's save does.
    s.AddressBook.erase(s.AddressBook.begin() + 1);
    ASSERT_TRUE(editor.Save(SettingsFilePath(model.path()), SignaturePath(model.path())).ok());
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

    // Output that cannot be written fails the command, whatever printed it.
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
