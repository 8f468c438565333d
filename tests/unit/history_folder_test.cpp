// The history: the record file byte for byte and its name, its fields read
// back. The folder's order, first lines, dates, bytes that are no Shift_JIS,
// a folder, records or fields that cannot go are walks (walks_test); the viewer's walk
// (filter, numbers, delete, clear) is the window's (gui/history_viewer_test)
// and the command line's (cli/cli_history_test).

#include "file_bytes.h"
#include "golden.h"
#include "platform/file_lock.h"
#include "platform/text_codec.h"
#include "send/history_folder.h"
#include "send/history_record.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <set>

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

TEST(HistoryFiles, TheFieldsOfARecord)
{
    const HistoryFields f = ParseHistoryFields(Record("a@x.jp", Sj("件名")) + "Subject: in the body\r\n");
    EXPECT_EQ(f.to, "a@x.jp");
    EXPECT_EQ(f.date, "Fri, 05 June 2026 06:42:13");
    EXPECT_EQ(f.subject, Sj("件名"));
    EXPECT_EQ(f.result, "Succeed");
    EXPECT_EQ(ParseHistoryFields("To: b\nX-ktml-Result: Connect Timeout Error\n").result, "Connect Timeout Error");
}

// Each Message-ID its own; the record's other texts are walks (history_texts).
TEST(HistoryTexts, MessageIdsDiffer)
{
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string id = MakeMessageId("20040305140709", "a@example.jp");
        EXPECT_EQ(id.substr(0, 14), "20040305140709");
        EXPECT_EQ(id.substr(id.size() - 13), "_a@example.jp");
        EXPECT_TRUE(seen.insert(id).second) << id;
    }
}

class HistoryRecordFile : public ::testing::Test {
protected:
    static HistoryRecord Record()
    {
        HistoryRecord r;
        r.to = "taro@example.jp";
        r.subject = Sj("件名");
        r.from = "me@example.jp";
        r.messageId = "20260605064213.0000002A_me@example.jp";
        r.phoneType = "i-mode";
        r.server = "smtp.example.jp";
        r.body = Sj("本文") + "\r\nline 2";
        return r;
    }

    TempDir dir_;
    fs::path root_ = dir_.path() / "history";
};

// The record byte for byte, sent and failed with an empty body.
TEST_F(HistoryRecordFile, WritesTheRecordByteForByte)
{
    const HistoryWriteResult sent = WriteHistoryRecord(root_ / "mail", Record());
    ASSERT_TRUE(sent.ok) << sent.error;
    EXPECT_EQ(sent.path.filename(), "2026060506421300.eml");
    ExpectGolden("history", "sent", ReadBytes(sent.path));
    HistoryRecord r = Record();
    r.resultText = ResultText(8);
    r.body.clear();
    const HistoryWriteResult failed = WriteHistoryRecord(root_, r);
    ASSERT_TRUE(failed.ok);
    ExpectGolden("history", "failed", ReadBytes(failed.path));
}

TEST_F(HistoryRecordFile, CountsUpForTheSameSecondAndListsInThatOrder)
{
    std::vector<fs::path> written;
    for (int i = 0; i < 12; ++i) {
        const HistoryWriteResult w = WriteHistoryRecord(root_, Record());
        ASSERT_TRUE(w.ok);
        written.push_back(w.path);
    }
    EXPECT_EQ(Names({written[0], written[9], written[10], written[11]}),
              (std::vector<std::string>{"2026060506421300.eml", "2026060506421309.eml", "2026060506421310.eml",
                                        "2026060506421311.eml"}));
    // Nothing but the records and the writers' lock: no temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(root_), {}), 13);
    EXPECT_TRUE(fs::is_regular_file(HistoryLockPath(root_)));

    // Past a hundred in one second.
    for (int i = 12; i < 99; ++i) {
        written.push_back(root_ / ("20260605064213" + std::to_string(i) + ".eml"));
        std::ofstream(written.back()) << "To: a\r\n";
    }
    for (int i = 99; i < 102; ++i) {
        const HistoryWriteResult w = WriteHistoryRecord(root_, Record());
        ASSERT_TRUE(w.ok);
        written.push_back(w.path);
    }
    EXPECT_EQ(Names({written[99], written[100], written[101]}),
              (std::vector<std::string>{"2026060506421399.eml", "20260605064213100.eml", "20260605064213101.eml"}));
    EXPECT_EQ(ListHistoryFiles(root_), written);
}

// The records hold the mails' text: their owner's alone, whatever the umask.
mode_t FileMode(const fs::path& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class HistoryRecordUmask : public HistoryRecordFile, public ::testing::WithParamInterface<mode_t> {};

TEST_P(HistoryRecordUmask, RecordAndTheFolderItMakesAreTheOwnersAlone)
{
    const fs::path folder = root_ / "mail";
    fs::create_directories(root_); // the data folder, there already
    const mode_t old = ::umask(GetParam());
    const HistoryWriteResult w = WriteHistoryRecord(folder, Record());
    ::umask(old);
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(FileMode(w.path), 0600U);
    EXPECT_EQ(FileMode(folder), 0700U);
    EXPECT_EQ(FileMode(HistoryLockPath(folder)) & 0077, 0U);
}

INSTANTIATE_TEST_SUITE_P(Masks, HistoryRecordUmask, ::testing::Values(0000, 0022, 0277),
                         [](const auto& row) { return "Umask" + std::to_string(row.param); });

// A folder the user made stays as it is.
TEST_F(HistoryRecordFile, AFolderTheUserMadeKeepsItsMode)
{
    const fs::path own = root_ / "own";
    fs::create_directories(own);
    ::chmod(own.c_str(), 0750);
    ASSERT_TRUE(WriteHistoryRecord(own, Record()).ok);
    EXPECT_EQ(FileMode(own), 0750U);
}

// A writer killed before it gave its record a name leaves its temporary
// file; the next listing (or start) removes it, unless a writer is at work.
TEST_F(HistoryRecordFile, LeftoversGoOnlyWhenNoWriterHoldsTheLock)
{
    fs::create_directories(root_);
    const auto write = [this](const char* name) { std::ofstream(root_ / name) << "half a record"; };
    const char* const notOurs[] = {".record-abc12.tmp", ".record-abc1234.tmp", ".record-ab_123.tmp", "record-abc123.tmp",
                                   "notes.tmp"};
    for (const char* name : notOurs) {
        write(name);
    }
    write(".record-Ab12z9.tmp");
    {
        // A live writer in the middle of its record.
        const FileLock writer = FileLock::Try(HistoryLockPath(root_), FileLock::Mode::Shared);
        ASSERT_TRUE(writer.Held()) << writer.Error();
        HistoryBrowser history(root_);
        ASSERT_TRUE(history.Reload());
        EXPECT_TRUE(fs::exists(root_ / ".record-Ab12z9.tmp"));
        EXPECT_EQ(RemoveRecordLeftovers(root_), 0U);
    }
    HistoryBrowser history(root_);
    ASSERT_TRUE(history.Reload());
    EXPECT_FALSE(fs::exists(root_ / ".record-Ab12z9.tmp"));
    for (const char* name : notOurs) {
        EXPECT_TRUE(fs::exists(root_ / name)) << name;
    }
    EXPECT_EQ(RemoveRecordLeftovers(root_ / "missing"), 0U);
    EXPECT_FALSE(fs::exists(root_ / "missing")) << "nothing made where there is nothing to sweep";
}

} // namespace
} // namespace kitemail::test
