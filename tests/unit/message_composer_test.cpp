// The message being composed, without widgets: an attachment gone unread and
// characters Shift_JIS cannot hold; its walks are walks_test's.

#include "golden.h"
#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "send/message_composer.h"
#include "settings/settings.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kitemail {
namespace {

using Lines = std::vector<std::string>;

ComposedText Text(const std::string& bytes) { return {bytes, {}}; }

class ComposerTest : public ::testing::Test {
protected:
    Settings settings;
    test::ScriptedUserInterface ui;
    MessageComposer composer{settings, ui};

    std::string LastStatus() const { return ui.statusTexts.empty() ? std::string() : ui.statusTexts.back(); }
};

// ------------------------------------------------------------ count display

TEST_F(ComposerTest, UnreadableAttachmentKeepsTheDisplayAndSaysWhy)
{
    const test::TempDir dir;
    const std::filesystem::path file = dir.Write("attach.bin", std::string(1000, 'x'));

    composer.TypeBoxChanged(TerminalType::IModeFoma);
    composer.SetAttachments({file.string()});
    const std::int32_t withFile = 1000 + static_cast<std::int32_t>(file.string().size()) + 20;
    EXPECT_EQ(composer.Display().count, withFile);

    std::filesystem::remove(file);
    ui.Clear();
    EXPECT_FALSE(composer.Recount());
    EXPECT_EQ(composer.Display().count, withFile);
    ASSERT_EQ(ui.statusTexts.size(), 1U);
    EXPECT_NE(ui.statusTexts[0].find(file.string()), std::string::npos);
}

// ------------------------------------------------------------ characters Shift_JIS cannot hold

TEST_F(ComposerTest, UnmappableCharactersAreReportedOnceEachAndCounted)
{
    composer.TypeBoxChanged(TerminalType::IMode);
    composer.SetBody({"a" + std::string(kUnmappablePlaceholder) + "b", {0x1F600}});
    EXPECT_EQ(composer.Display().count, 4);
    EXPECT_EQ(LastStatus(), Sj("本文：Shift_JISにない文字があります（U+1F600）。送信前に別の文字に置き換えてください。"));
    composer.SetSubject({std::string(kUnmappablePlaceholder), {0x2603}});
    EXPECT_EQ(LastStatus().substr(0, Sj("題名：").size()), Sj("題名："));
    EXPECT_EQ(composer.UnmappableCharacters(), (std::vector<char32_t>{0x1F600, 0x2603}));

    // Mended text: nothing left to refuse, nothing more reported.
    ui.Clear();
    composer.SetBody(Text("ab"));
    composer.SetSubject(Text("x"));
    EXPECT_TRUE(composer.UnmappableCharacters().empty());
    EXPECT_TRUE(ui.statusTexts.empty());

    // The text names each character once and sums up the rest.
    EXPECT_EQ(UnmappableStatusText(TextArea::Pin, {}), "");
    EXPECT_EQ(UnmappableStatusText(TextArea::DirectAddress, {0x1F600, 0x1F600}),
              Sj("E-mailアドレス：Shift_JISにない文字があります（U+1F600）。送信前に別の文字に置き換えてください。"));
    EXPECT_EQ(UnmappableStatusText(TextArea::Body, {1, 2, 3, 4, 5, 6, 7}), 
              Sj("本文：Shift_JISにない文字があります（U+0001 U+0002 U+0003 U+0004 U+0005 ほか）。送信前に別の文字に置き換えてください。"));
}

} // namespace
} // namespace kitemail
