// The history folder read back: order, first lines, header fields, a folder
// or records that cannot go, bytes that are no Shift_JIS. The viewer's walk
// (filter, numbers, delete, clear) is the window's (gui/history_viewer_test)
// and the command line's (cli/cli_history_test).

#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "send/history_folder.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;

std::string Record(const std::string& to, const std::string& subject = "s")
{
    return "To: " + to + "\r\nDate: Fri, 05 June 2026 06:42:13\r\nSubject: " + subject +
           "\r\nFrom: me@example.jp\r\nX-ktml-Result: Succeed\r\n\r\nbody\r\n";
}

std::vector<std::string> Names(const std::vector<fs::path>& paths)
{
    std::vector<std::string> names;
    for (const auto& p : paths) {
        names.push_back(p.filename().string());
    }
    return names;
}

TEST(HistoryFiles, ListsEmlEntriesOldestFirstIgnoringCase)
{
    TempDir dir;
    for (const char* name : {"2026060506421301.eml", "2026060506421300.EML", "20250101000000.eml", "notes.txt",
                             "x.eml.bak", ".record-abc.tmp"}) {
        dir.Write(name, "To: a\r\n");
    }
    fs::create_directory(dir.path() / "2026060506421302.eml"); // keeps its number, lists no line
    EXPECT_EQ(Names(ListHistoryFiles(dir.path())),
              (std::vector<std::string>{"20250101000000.eml", "2026060506421300.EML", "2026060506421301.eml",
                                        "2026060506421302.eml"}));
    EXPECT_TRUE(ListHistoryFiles(dir.path() / "missing").empty());
}

TEST(HistoryFiles, FirstLineAndFields)
{
    struct Row {
        const char* name;
        std::string bytes;
        std::optional<std::string> firstLine;
    };
    const std::string longAddress(3000, 'a');
    const Row rows[] = {
        {"crlf", "To: a@x.jp\r\nDate: d\r\n", "To: a@x.jp"},
        {"lf", "To: a@x.jp\nDate: d\n", "To: a@x.jp"},
        {"cr", "To: a@x.jp\rDate: d\r", "To: a@x.jp"},
        {"no line end", "To: a@x.jp", "To: a@x.jp"},
        {"empty file", "", ""},
        {"empty first line", "\r\nTo: a\r\n", ""},
        {"longer than one read", "To: " + longAddress + "\r\nrest", "To: " + longAddress},
        {"shift_jis kept as bytes", "To: " + Sj("太郎") + "\r\n", "To: " + Sj("太郎")},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ReadFirstLine(dir.Write("r.eml", row.bytes)), row.firstLine);
    }
    EXPECT_EQ(ReadFirstLine(dir.path()), std::nullopt) << "a folder";
    EXPECT_EQ(ReadFirstLine(dir.path() / "gone.eml"), std::nullopt);

    const HistoryFields f = ParseHistoryFields(Record("a@x.jp", Sj("件名")) + "Subject: in the body\r\n");
    EXPECT_EQ(f.to, "a@x.jp");
    EXPECT_EQ(f.date, "Fri, 05 June 2026 06:42:13");
    EXPECT_EQ(f.subject, Sj("件名"));
    EXPECT_EQ(f.result, "Succeed");
    EXPECT_EQ(ParseHistoryFields("To: b\nX-ktml-Result: Connect Timeout Error\n").result, "Connect Timeout Error");
}

TEST(HistoryBrowser, FolderThatCannotBeMadeIsReported)
{
    TempDir dir;
    dir.Write("mail", "a file where the folder belongs");
    ScriptedUserInterface ui;
    HistoryBrowser history(dir.path() / "mail");
    EXPECT_FALSE(history.Load(ui, true));
    EXPECT_EQ(ui.events, (std::vector<std::string>{"beep", "message:" + Sj("送信履歴フォルダが不正です。")}));
    ui.Clear();
    EXPECT_FALSE(history.Load(ui, false));
    EXPECT_EQ(ui.events, (std::vector<std::string>{"message:" + Sj("送信履歴フォルダが不正です。")}));
    EXPECT_EQ(history.FilterItems().size(), 1U);
}

TEST(HistoryBrowser, RecordsThatCannotGoAreNamedNotPassedOver)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root deletes in a read-only folder";
    }
    TempDir dir;
    const fs::path folder = dir.path() / "mail";
    fs::create_directory(folder);
    dir.Write("mail/2026010100000000.eml", Record("a@x.jp"));
    ::chmod(folder.c_str(), 0555);
    ScriptedUserInterface ui;
    HistoryBrowser history(folder);
    ASSERT_TRUE(history.Load(ui, false));
    ui.confirmAnswers = {true, true};
    EXPECT_FALSE(history.DeleteOne(0, ui, false));
    std::vector<fs::path> left;
    EXPECT_TRUE(history.Clear(ui, false, &left));
    EXPECT_EQ(left.size(), 1U);
    EXPECT_EQ(history.Items().size(), 1U) << "still listed";
    ASSERT_EQ(ui.messages.size(), 2U);
    EXPECT_TRUE(ui.messages[0].starts_with(Sj("履歴を削除できませんでした。")));
    EXPECT_TRUE(ui.messages[1].find("2026010100000000.eml") != std::string::npos);
    ::chmod(folder.c_str(), 0755);
}

TEST(UndecodableSjisNames, NamesLineAndBytes)
{
    struct Row {
        const char* name;
        std::string bytes;
        std::string names;
    };
    const Row rows[] = {
        {"clean text", Sj("件名\r\n本文"), ""},
        {"unassigned pair", "ab\r\nc\x85\x40", "2" + Sj("行目") + " 85 40"},
        {"lone byte", "\xFF", "1" + Sj("行目") + " FF"},
        {"lead byte at the end", "ok\x82", "1" + Sj("行目") + " 82"},
        {"lead byte before a line end", "\x82\r\nx", "1" + Sj("行目") + " 82"},
        {"two on one line", "\xFF\xFD", "1" + Sj("行目") + " FF, 1" + Sj("行目") + " FD"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(UndecodableSjisNames(row.bytes), row.names);
    }
    const std::string many = UndecodableSjisNames(std::string(20, '\xFF'));
    EXPECT_TRUE(many.ends_with(", ...")) << "at most ten are named";
}

} // namespace
} // namespace kitemail::test
