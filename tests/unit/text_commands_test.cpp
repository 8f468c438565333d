// The attachment list's rules without widgets. The texts the main window's
// commands put into the body, body files and the text tools are walks
// (walks_test).

#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "send/attachment_commands.h"
#include "send/message_composer.h"
#include "settings/settings.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kitemail {
namespace {

class CommandsTest : public ::testing::Test {
protected:
    Settings settings;
    test::ScriptedUserInterface ui;
    MessageComposer composer{settings, ui};
    AttachmentCommands attachments{settings, composer, ui};
    test::TempDir dir;

    ComposedText Path(const std::filesystem::path& p) const { return {p.native(), {}}; }
};

// ------------------------------------------------------------ attachments

// The window's tests drop a missing file, one listed already and a folder.
TEST_F(CommandsTest, AttachmentListRefusesWhatCannotBeSentAndRecountsEveryChange)
{
    const std::filesystem::path a = dir.Write("a.bin", "aaaa");
    const std::filesystem::path pipe = dir.path() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_TRUE(composer.Recount());
    const std::int32_t empty = composer.Display().count;

    // The same file twice in one drop, a pipe, a name the code page cannot hold.
    attachments.AddDropped({Path(a), Path(a), Path(pipe), {"/tmp/" + std::string(kUnmappablePlaceholder), {U'😀'}}});
    EXPECT_EQ(composer.Attachments(), std::vector<std::string>{a.native()});
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[1], Sj("重複しているか、ファイルが存在しません。"));
    EXPECT_NE(ui.messages[2].find("U+1F600"), std::string::npos);
    EXPECT_EQ(ui.statusTexts.back(), Sj("添付ファイル選択エラー"));
    // Type 0 counts the size, the path and 20 bytes.
    EXPECT_EQ(composer.Display().count, empty + static_cast<std::int32_t>(4 + a.native().size() + 20));

    attachments.AddChosen({Path(a)});
    attachments.Remove(9);
    EXPECT_EQ(composer.Attachments().size(), 2u);
    attachments.Remove(0);
    EXPECT_EQ(composer.Attachments(), std::vector<std::string>{a.native()});
    settings.ConfirmClear = false;
    ui.Clear();
    EXPECT_TRUE(attachments.ClearAsked());
    EXPECT_TRUE(ui.events.empty());
    EXPECT_EQ(composer.Display().count, empty);
}

} // namespace
} // namespace kitemail
