// The main window's commands without widgets: body files, the text tools'
// refusals, the attachment list's rules. The texts they put into the body
// and the text tools' tables are walks (walks_test).

#include "golden.h"
#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "send/attachment_commands.h"
#include "send/message_composer.h"
#include "settings/settings.h"
#include "temp_dir.h"
#include "tools/text_commands.h"
#include "tools/text_tools.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kitemail {
namespace {

class CommandsTest : public ::testing::Test {
protected:
    Settings settings;
    test::ScriptedUserInterface ui;
    MessageComposer composer{settings, ui};
    TextCommands text{settings, composer, ui};
    AttachmentCommands attachments{settings, composer, ui};
    test::TempDir dir;

    ComposedText Path(const std::filesystem::path& p) const { return {p.native(), {}}; }
};

// ------------------------------------------------------------ body files

class BodyFileOpened : public CommandsTest, public ::testing::WithParamInterface<test::TableRow> {};

TEST_P(BodyFileOpened, AsShiftJisOrOnAnswerUtf8)
{
    const test::TableRow& row = GetParam();
    std::filesystem::path path = dir.path() / "dir";
    if (row[0] != "<folder>") {
        path = dir.Write("body.txt", row[0]);
    } else {
        std::filesystem::create_directories(path);
    }
    if (row[1] != "-") {
        ui.confirmAnswers = {row[1] == "yes"};
    }
    const std::optional<BodyFileText> read = text.OpenBody(path);
    ASSERT_EQ(read.has_value(), row[2] != "<none>");
    if (read) {
        EXPECT_EQ(read->text, row[3] == "1" ? row[2] : row.Sjis(2));
        EXPECT_EQ(read->utf8, row[3] == "1");
    }
    const std::string told = ui.questions.empty() ? (ui.messages.empty() ? "" : ui.messages.front())
                                                  : ui.questions.front().text;
    EXPECT_NE(told.find(row.Sjis(4)), std::string::npos) << SjisToUtf8(told);
    EXPECT_EQ(told.empty(), row[4].empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, BodyFileOpened, ::testing::ValuesIn(test::ReadTable("body_file")), test::TableRowName());

// ------------------------------------------------------------ text tools

class TextCommandOnTheBody : public CommandsTest, public ::testing::WithParamInterface<test::TableRow> {};

TEST_P(TextCommandOnTheBody, RefusesWhatItWouldSpoil)
{
    const test::TableRow& row = GetParam();
    settings.BeepOnMessage = false;
    const SjisEncoding body = Utf8ToSjis(row[1]);
    composer.SetBody({body.bytes, body.unmappable});
    const std::optional<std::string> result = row[0] == "vertical" ? text.VerticalWriting()
                                              : row[0] == "diet"   ? text.Diet(DietOptions{})
                                                                   : text.Diet({false, false, false, false, false});
    EXPECT_EQ(result, row[2] == "<none>" ? std::nullopt : std::optional(row.Sjis(2)));
    EXPECT_EQ(ui.beeps, row.Int(3));
    ASSERT_EQ(ui.messages.size(), row[4].empty() ? 0u : 1u);
    if (!row[4].empty()) {
        EXPECT_NE(ui.messages.front().find(row.Sjis(4)), std::string::npos) << SjisToUtf8(ui.messages.front());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TextCommandOnTheBody, ::testing::ValuesIn(test::ReadTable("text_command_refusal")),
                         test::TableRowName());

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
