#include "settings/settings_editor.h"

#include "file_bytes.h"
#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <functional>
#include <tuple>

namespace kitemail {
namespace {

using Lines = std::vector<std::string>;

class SettingsEditorTest : public ::testing::Test {
protected:
    // The sender list and which one is selected ("-" for none), then the entry box.
    std::string Senders() const
    {
        std::string out;
        for (std::size_t i = 0; i < settings.SenderList.size(); ++i) {
            const bool selected = static_cast<std::int32_t>(i) == editor.SenderSelection();
            out += (selected ? "[" : "") + settings.SenderList[i] + (selected ? "]" : "") + " ";
        }
        return out + "| " + settings.SenderAddress;
    }

    Settings settings;
    test::ScriptedUserInterface ui;
    SettingsEditor editor{settings, ui};
};

TEST_F(SettingsEditorTest, OpeningChoosesTheFirstSenderAndTheButtonsEditTheList)
{
    settings.SenderAddress = "typed";
    editor.Opened(); // no senders: the entry box keeps its text
    EXPECT_EQ(Senders(), "| typed");
    settings.SenderList = {"a@x", "b@x,r@x", "c@x"};
    settings.SenderAddress = "c@x";
    editor.Opened();
    EXPECT_EQ(Senders(), "[a@x] b@x,r@x c@x | a@x");

    const struct {
        const char* step;
        std::function<void()> act;
        std::string expected;
    } walk[] = {
        {"up at the top", [&] { editor.MoveSender(-1); }, "[a@x] b@x,r@x c@x | a@x"},
        {"down", [&] { editor.MoveSender(+1); }, "b@x,r@x [a@x] c@x | a@x"},
        {"down to the end", [&] { editor.MoveSender(+1); }, "b@x,r@x c@x [a@x] | a@x"},
        {"down at the end", [&] { editor.MoveSender(+1); }, "b@x,r@x c@x [a@x] | a@x"},
        {"a click copies", [&] { editor.ClickSender(1); }, "b@x,r@x [c@x] a@x | c@x"},
        {"typing changes only the entry", [&] { editor.TypeSenderEntry(""); }, "b@x,r@x [c@x] a@x | "},
        {"an empty entry is added too", [&] { editor.AddSender(); }, "b@x,r@x [c@x] a@x  | "},
        {"delete asks nothing", [&] { editor.DeleteSender(); }, "b@x,r@x a@x  | "},
        {"delete without a selection", [&] { editor.DeleteSender(); }, "b@x,r@x a@x  | "},
    };
    for (const auto& [step, act, expected] : walk) {
        act();
        EXPECT_EQ(Senders(), expected) << step;
    }
    EXPECT_TRUE(ui.events.empty());

    // Up and Down without a selection say so, without a beep.
    settings.BeepOnMessage = true;
    editor.MoveSender(-1);
    editor.MoveSender(+1);
    EXPECT_EQ(ui.events, (Lines{"message:" + Sj("選択してください。"), "message:" + Sj("選択してください。")}));
}

TEST_F(SettingsEditorTest, LengthEditorDefaultsAndRangesOfTheBoxes)
{
    // Each change of the box goes into the chosen type's slot at once;
    // with no type chosen it goes nowhere.
    settings.TypeMaxLengths[9] = -7; // shown as the box shows it
    editor.Opened();
    EXPECT_EQ(std::pair(editor.LengthType(), editor.LengthOfChosenType()), std::pair(0, 6000));
    editor.ChooseLengthType(9);
    EXPECT_EQ(editor.LengthOfChosenType(), 0);
    editor.SetLengthOfChosenType(4444);
    EXPECT_EQ(settings.TypeMaxLengths[9], 4444);
    editor.ChooseLengthType(-1);
    editor.SetLengthOfChosenType(1);
    EXPECT_EQ(editor.LengthOfChosenType(), 0);
    TypeLimits expected = DefaultTypeMaxLengths();
    expected[9] = 4444;
    EXPECT_EQ(settings.TypeMaxLengths, expected);

    // "デフォルト値に戻す" touches the two options of its page only.
    settings.AssumeSingleByteAtEnds = settings.CountFinalLineBreakShift = false;
    settings.CountShiftBytes = true;
    settings.MaxLen = 70;
    Settings before = settings;
    editor.RestoreSystemDefaults();
    before.AssumeSingleByteAtEnds = before.CountFinalLineBreakShift = true;
    EXPECT_EQ(settings, before);

    // What the boxes cannot show is brought into their ranges on loading.
    QTemporaryDir dir;
    const std::filesystem::path data(dir.path().toStdString());
    test::WriteBytes(SettingsFilePath(data), "[Configuration]\r\nMaxLen=100\r\nFixLen=-5\r\nPort=70000\r\n");
    EXPECT_TRUE(editor.Load(SettingsFilePath(data), SignaturePath(data)));
    EXPECT_EQ(std::tuple(settings.MaxLen, settings.FixLen, settings.Port), std::tuple(100, 0, 65535));
}

} // namespace
} // namespace kitemail
