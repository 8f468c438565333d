// The draft: kept while the user writes, back after the window process is
// killed, gone after a clear, back after a normal close only when the
// settings ask for it. (A history record sent again: walks/ResendFills...)

#include "gui_support.h"

#include "send/draft.h"

#include <csignal>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;

bool DraftIs(const fs::path& dir, const Draft& wanted)
{
    return QTest::qWaitFor([&] { return ReadDraft(dir) == wanted; }, 5000);
}

// The built program on the folder, up (its event loop answers), then
// killed without a word: nothing of its close runs.
void StartAndKillTheProgram(const fs::path& dir)
{
    QProcess window;
    ASSERT_TRUE(StartWindowProgram(window, dir));
    ::kill(static_cast<pid_t>(window.processId()), SIGKILL);
    ASSERT_TRUE(window.waitForFinished(15000));
    EXPECT_EQ(window.exitStatus(), QProcess::CrashExit);
}

TEST_F(WindowTest, TheDraftComesBackAfterAKillAndOnlyThen)
{
    const fs::path kept = program.File("a file, with blanks.txt", "x");
    const fs::path gone = program.File("gone.txt", "y");
    program.Start();
    program.Main().SetDraftDelay(std::chrono::milliseconds(50));
    program.Type(kAddress, QStringLiteral("you@example.jp"));
    program.Find<QComboBox>(kTypeBox)->setCurrentIndex(6);
    program.Type(kSubject, QString::fromUtf8("件名"));
    DropFiles(program, {kept, gone});
    // An emoji Shift_JIS cannot hold stays what it is.
    Commit(program.Body(), QString::fromUtf8("本文\xF0\x9F\x98\x80\n二行目"));
    const Draft typed = program.Main().CurrentDraft();
    ASSERT_TRUE(DraftIs(program.Dir(), typed));
    EXPECT_EQ(typed.attachments.size(), 2U);

    program.Abandon();
    fs::remove(gone);
    StartAndKillTheProgram(program.Dir());
    program.Start();
    Draft expected = typed;
    expected.attachments = {kept.string()};
    EXPECT_EQ(program.Main().CurrentDraft(), expected);
    EXPECT_TRUE(program.Status().startsWith(QString::fromUtf8("前回の下書きを復元しました。"))) << program.Status().toStdString();
    EXPECT_TRUE(program.Status().contains(QStringLiteral("gone.txt"))) << program.Status().toStdString();

    // The clear takes the draft away.
    Answering([&] { program.Trigger(kClear); }, {true});
    EXPECT_TRUE(program.Body()->toPlainText().isEmpty());
    EXPECT_FALSE(fs::exists(DraftPath(program.Dir())));

    // A normal close starts empty ...
    program.Main().SetDraftDelay(std::chrono::milliseconds(50));
    Commit(program.Body(), QStringLiteral("next"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(DraftPath(program.Dir())); }, 5000));
    program.Restart();
    EXPECT_TRUE(program.Body()->toPlainText().isEmpty());
    EXPECT_FALSE(fs::exists(DraftPath(program.Dir())));

    // ... unless the settings keep the draft for the next start.
    Commit(program.Body(), QStringLiteral("kept over a close"));
    program.Main().LiveSettings().RestoreDraftOnStart = true;
    ASSERT_TRUE(program.Close());
    program.Abandon();
    program.WriteIni("[Draft]\nRestoreOnStart=1\n");
    program.Start();
    EXPECT_EQ(program.Body()->toPlainText(), QStringLiteral("kept over a close"));
    EXPECT_EQ(program.Status(), QString::fromUtf8("前回の下書きを復元しました。"));
}

} // namespace
} // namespace kitemail::test
