// The message being composed, without widgets: recipient modes, the type
// they choose, the check list and the count display.

#include "accounting/message_composer.h"
#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "send/close_query.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using test::ScriptedUserInterface;

ComposedText Text(const std::string& bytes)
{
    return {bytes, {}};
}

class ComposerTest : public ::testing::Test {
protected:
    Settings settings;
    ScriptedUserInterface ui;
    MessageComposer composer{settings, ui};

    std::string LastStatus() const { return ui.statusTexts.empty() ? std::string() : ui.statusTexts.back(); }
    void Book(std::vector<std::string> lines) { composer.SetCheckListLines(std::move(lines)); }
};

// ------------------------------------------------------------ tick derivation

struct TickCase {
    const char* name;
    std::vector<std::string> lines;
    std::vector<int> ticked;
    std::int32_t type;
    const char* status;
};

class TickDerivation : public ComposerTest, public ::testing::WithParamInterface<TickCase> {};

TEST_P(TickDerivation, AppliesCommonTypeAndShowsItsText)
{
    const TickCase& c = GetParam();
    settings.MaxLen = 700;
    settings.FixLen = 21;
    Book(c.lines);
    for (const int i : c.ticked) {
        composer.SetTick(i, true);
    }
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, c.type);
    EXPECT_EQ(LastStatus(), Sj(c.status));
    const std::int32_t limit = c.type == -1 ? 700 : settings.TypeMaxLengths[static_cast<std::size_t>(c.type)];
    EXPECT_EQ(composer.Display().limit, limit);
    EXPECT_EQ(composer.TypeState().CurrentFixedLength, c.type == -1 ? 21 : TerminalTypeRow(c.type).fixedCount);
}

INSTANTIATE_TEST_SUITE_P(
    Composer, TickDerivation,
    ::testing::Values(
        TickCase{"two_imode", {"a,x,,3,-1", "b,y,,3,-1"}, {0, 1}, 3, "i-mode Mail 方式を選択"},
        TickCase{"imode_and_ezweb_mail", {"a,x,,3,-1", "b,y,,6,-1"}, {0, 1}, -1, "方式を特定出来ません"},
        TickCase{"one_of_three", {"a,x,,3,-1", "b,y,,9,-1", "c,z,,2,-1"}, {1}, 9, "i-mode(FOMA) 方式を選択"},
        TickCase{"empty_type_field_is_type_0", {"a,x,,,-1"}, {0}, 0, "vodafone ロングメール 方式を選択"},
        TickCase{"invalid_type_before_a_valid_one_is_passed_over", {"a,x,,12,-1", "b,y,,4,-1"}, {0, 1}, 4,
                 "H\"Link 方式を選択"},
        TickCase{"invalid_type_after_a_valid_one_mixes", {"b,y,,4,-1", "a,x,,12,-1"}, {0, 1}, -1,
                 "方式を特定出来ません"},
        TickCase{"four_field_line", {"Taro,X1,,5"}, {0}, 5, "Cmail 方式を選択"}),
    [](const ::testing::TestParamInfo<TickCase>& p) { return std::string(p.param.name); });

TEST_F(ComposerTest, UntickingTheLastEntryLeavesTheTypeUnspecified)
{
    Book({"a,x,,3,-1", "b,y,,3,-1"});
    composer.SetTick(0, true);
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, 3);
    composer.SetTick(0, false);
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, -1);
    EXPECT_EQ(LastStatus(), Sj("方式を特定出来ません"));
    EXPECT_EQ(composer.Areas(), (InputAreas{true, true, true, false, true}));
}

TEST_F(ComposerTest, TickAllSetsTicksWithoutDerivingTheType)
{
    Book({"a,x,,3,-1", "b,y,,6,-1"});
    composer.TickAll(true);
    EXPECT_TRUE(composer.CheckList()[0].ticked && composer.CheckList()[1].ticked);
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, 0);
    EXPECT_TRUE(ui.statusTexts.empty());
    // The next change by hand derives from all ticks.
    composer.SetTick(0, true);
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, -1);
    composer.TickAll(false);
    EXPECT_FALSE(composer.CheckList()[0].ticked || composer.CheckList()[1].ticked);

    MessageComposer empty(settings, ui);
    empty.TickAll(true);
    EXPECT_TRUE(empty.CheckList().empty());
}

TEST_F(ComposerTest, NewLinesClearTicksAndHighlight)
{
    Book({"a,x,,3,-1"});
    composer.SetTick(0, true);
    composer.SetHighlighted(0);
    Book({"a,x,,3,-1", "b,y,,1,-1"});
    EXPECT_FALSE(composer.CheckList()[0].ticked);
    EXPECT_EQ(composer.Highlighted(), -1);
    EXPECT_EQ(composer.CheckListLines(), (std::vector<std::string>{"a,x,,3,-1", "b,y,,1,-1"}));
}

// ------------------------------------------------------------ type box and limits

TEST_F(ComposerTest, FomaInTheTypeBoxUsesItsOwnSlot)
{
    settings.TypeMaxLengths[8] = 12000;
    settings.TypeMaxLengths[9] = 4321;
    composer.TypeBoxChanged(9);
    EXPECT_EQ(composer.Display().limit, 4321);
    EXPECT_EQ(composer.TypeBoxIndex(), 9);
}

TEST_F(ComposerTest, DoubleClickOnTheLabelAppliesTheUnspecifiedType)
{
    settings.MaxLen = 384;
    composer.TypeBoxChanged(0);
    composer.ClearTypeBox();
    EXPECT_EQ(composer.TypeBoxIndex(), -1);
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, -1);
    EXPECT_EQ(composer.Display().limit, 384);
    EXPECT_EQ(composer.TypeState().CurrentFixedLength, 55);
}

TEST_F(ComposerTest, ALimitChangedInTheSettingsWaitsForTheNextApplication)
{
    composer.TypeBoxChanged(3);
    settings.TypeMaxLengths[3] = 800;
    settings.MaxLen = 900;
    composer.SetBody(Text("abc"));
    EXPECT_EQ(composer.Display().limit, 500);
    composer.TypeBoxChanged(3);
    EXPECT_EQ(composer.Display().limit, 800);
    composer.ClearTypeBox();
    EXPECT_EQ(composer.Display().limit, 900);
}

TEST_F(ComposerTest, TypeBoxIndexOutsideTheTableMeansNoSelection)
{
    composer.TypeBoxChanged(10);
    EXPECT_EQ(composer.TypeBoxIndex(), -1);
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, -1);
}

// ------------------------------------------------------------ modes

TEST_F(ComposerTest, ModesShowTheirTextsAndApplyTheirTypes)
{
    Book({"a,x,,7,-1"});
    composer.TypeBoxChanged(3);
    composer.SetTick(0, true);
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, 7);

    ui.Clear();
    composer.SelectDirectMode();
    EXPECT_EQ(composer.Mode(), RecipientMode::Direct);
    EXPECT_EQ(ui.statusTexts, (std::vector<std::string>{Sj("直接入力：Emailアドレスを入力してください。")}));
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, 3);

    ui.Clear();
    composer.SelectAddressBookMode();
    EXPECT_EQ(composer.Mode(), RecipientMode::AddressBook);
    EXPECT_EQ(ui.statusTexts,
              (std::vector<std::string>{Sj("アドレス帳：アドレス帳から選択してください。"), Sj("EZweb 方式を選択")}));
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, 7);
}

TEST_F(ComposerTest, AddressBookModeWithoutTicksIsUnspecified)
{
    Book({"a,x,,7,-1"});
    composer.SelectAddressBookMode();
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, -1);
    EXPECT_EQ(LastStatus(), Sj("方式を特定出来ません"));
}

TEST_F(ComposerTest, SenderBoxAndFromCheck)
{
    composer.TypeBoxChanged(7); // sender counted whole
    composer.SenderChanged("me@example.jp");
    EXPECT_EQ(settings.SenderAddress, "me@example.jp");
    EXPECT_EQ(composer.Display().count, 30 + 13);

    composer.FromCheckClicked(true);
    EXPECT_TRUE(composer.FromChecked());
    EXPECT_EQ(LastStatus(), Sj("ここでの設定優先"));
    composer.FromCheckClicked(false);
    EXPECT_EQ(LastStatus(), Sj("アドレス帳の設定優先"));
}

// ------------------------------------------------------------ survey

TEST_F(ComposerTest, SurveyShowsTheHighlightedEntrysTerminal)
{
    Book({"a,x,,4,-1", "b,y,,,-1", "c,z,,42,-1"});
    composer.SetTick(2, true); // ticks do not matter, the highlight does

    composer.SetHighlighted(0);
    EXPECT_TRUE(composer.EntryMenuItemsEnabled());
    ui.Clear();
    composer.SurveyHighlighted();
    EXPECT_EQ(ui.events, (std::vector<std::string>{"beep", "message:" + Sj("DDI Pocket H\"Link 対応端末")}));

    composer.SetHighlighted(1);
    settings.BeepOnMessage = false;
    ui.Clear();
    composer.SurveyHighlighted();
    EXPECT_EQ(ui.events,
              (std::vector<std::string>{"message:" + Sj("vodafone Vodafone live! 対応端末（ロングメール）")}));

    composer.SetHighlighted(2);
    ui.Clear();
    composer.SurveyHighlighted();
    EXPECT_EQ(ui.messages, (std::vector<std::string>{Sj("端末を特定出来ません")}));

    composer.SetHighlighted(-1);
    EXPECT_FALSE(composer.EntryMenuItemsEnabled());
    ui.Clear();
    composer.SurveyHighlighted();
    EXPECT_TRUE(ui.events.empty());
}

// ------------------------------------------------------------ drag reordering

struct DragCase {
    const char* name;
    std::int32_t start;
    std::int32_t target;
    std::vector<std::string> order;
    std::int32_t highlighted;
};

class DragReorder : public ComposerTest, public ::testing::WithParamInterface<DragCase> {};

TEST_P(DragReorder, MovesTheEntryAndTheAddressBook)
{
    const DragCase& c = GetParam();
    settings.AddressBook = {"A", "B", "C", "D"};
    Book(settings.AddressBook);
    composer.SetTick(1, true); // B carries its tick along
    composer.DragBegin(c.start);
    composer.Drop(c.target);
    EXPECT_EQ(composer.CheckListLines(), c.order);
    EXPECT_EQ(settings.AddressBook, c.order);
    EXPECT_EQ(composer.Highlighted(), c.highlighted);
    for (const CheckListEntry& e : composer.CheckList()) {
        EXPECT_EQ(e.ticked, e.line == "B") << e.line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Composer, DragReorder,
    ::testing::Values(DragCase{"down", 0, 2, {"B", "C", "A", "D"}, 2},
                      DragCase{"up", 3, 1, {"A", "D", "B", "C"}, 1},
                      DragCase{"to_the_end", 1, 3, {"A", "C", "D", "B"}, 3},
                      DragCase{"onto_itself", 2, 2, {"A", "B", "C", "D"}, 2},
                      DragCase{"below_the_last_entry", 0, -1, {"A", "B", "C", "D"}, -1},
                      DragCase{"press_outside_every_entry", -1, 2, {"A", "B", "C", "D"}, 2},
                      DragCase{"target_beyond_the_list", 0, 9, {"A", "B", "C", "D"}, -1}),
    [](const ::testing::TestParamInfo<DragCase>& p) { return std::string(p.param.name); });

TEST_F(ComposerTest, DragOverHighlightsTheEntryUnderTheMouse)
{
    Book({"A", "B"});
    composer.DragOver(1);
    EXPECT_EQ(composer.Highlighted(), 1);
    composer.DragOver(-1);
    EXPECT_EQ(composer.Highlighted(), -1);
}

// ------------------------------------------------------------ count display

TEST_F(ComposerTest, WorkedExampleThroughTheWindowInputs)
{
    settings.AssumeSingleByteAtEnds = false;
    settings.CountFinalLineBreakShift = false;
    composer.TypeBoxChanged(0);
    composer.SenderChanged("abcdefg@xyz.com"); // 15 bytes
    composer.SetSubject(Text("Hi"));
    composer.SetBody(Text(Sj("あいうえお") + "abc"));
    EXPECT_EQ(composer.Display(), (CountDisplay{88, 6000, false, 6000, 88}));
}

TEST_F(ComposerTest, CountIsBlackAtTheLimitAndRedOneByteOver)
{
    settings.TypeMaxLengths[3] = 4;
    composer.TypeBoxChanged(3);
    composer.SetBody(Text("abcd"));
    EXPECT_EQ(composer.Display(), (CountDisplay{4, 4, false, 4, 4}));
    composer.SetBody(Text("abcde"));
    EXPECT_EQ(composer.Display(), (CountDisplay{5, 4, true, 4, 4}));
}

TEST_F(ComposerTest, EmptyImodeMessageCountsNothing)
{
    composer.TypeBoxChanged(3);
    EXPECT_EQ(composer.Display(), (CountDisplay{0, 500, false, 500, 0}));
}

TEST_F(ComposerTest, DirectAddressRecountsButDoesNotCount)
{
    composer.TypeBoxChanged(6);
    const std::int32_t before = composer.Display().count;
    settings.SenderAddress = "someone@example.jp"; // picked up at the next recount
    composer.SetDirectAddress(Text("to@example.jp"));
    EXPECT_EQ(composer.Display().count, before + 18);
    composer.SetPin(Text("1234"));
    EXPECT_EQ(composer.Display().count, before + 18);
}

TEST_F(ComposerTest, UnreadableAttachmentKeepsTheDisplayAndSaysWhy)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kitemail_composer_attach";
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "a.bin";
    std::ofstream(file, std::ios::binary) << std::string(1000, 'x');

    composer.TypeBoxChanged(9);
    composer.SetAttachments({file.string()});
    const std::int32_t withFile = 1000 + static_cast<std::int32_t>(file.string().size()) + 20;
    EXPECT_EQ(composer.Display().count, withFile);

    std::filesystem::remove(file);
    ui.Clear();
    EXPECT_FALSE(composer.ChrChange());
    EXPECT_EQ(composer.Display().count, withFile);
    ASSERT_EQ(ui.statusTexts.size(), 1U);
    EXPECT_NE(ui.statusTexts[0].find(file.string()), std::string::npos);

    composer.SetAttachments({});
    EXPECT_EQ(composer.Display().count, 0);
    std::filesystem::remove_all(dir);
}

TEST_F(ComposerTest, LimitOfZeroKeepsTheGaugeInRange)
{
    settings.TypeMaxLengths[7] = 0;
    composer.TypeBoxChanged(7);
    composer.SetBody(Text("x"));
    EXPECT_EQ(composer.Display(), (CountDisplay{31, 0, true, 0, 0}));
    settings.TypeMaxLengths[7] = -5;
    composer.TypeBoxChanged(7);
    EXPECT_EQ(composer.Display().gaugeMax, 0);
    EXPECT_EQ(composer.Display().gaugeProgress, 0);
}

// ------------------------------------------------------------ characters Shift_JIS cannot hold

TEST_F(ComposerTest, UnmappableCharactersAreReportedAndCounted)
{
    composer.TypeBoxChanged(3);
    ComposedText body{"a" + std::string(kUnmappablePlaceholder) + "b", {0x1F600}};
    composer.SetBody(body);
    EXPECT_EQ(composer.Display().count, 4);
    ASSERT_FALSE(ui.statusTexts.empty());
    EXPECT_EQ(ui.statusTexts.front(),
              Sj("本文：Shift_JISにない文字があります（U+1F600）。送信前に別の文字に置き換えてください。"));

    composer.SetSubject({std::string(kUnmappablePlaceholder), {0x2603}});
    EXPECT_EQ(LastStatus().substr(0, Sj("題名：").size()), Sj("題名："));
    EXPECT_EQ(composer.UnmappableCharacters(), (std::vector<char32_t>{0x1F600, 0x2603}));

    // Mended text: nothing left to refuse, nothing more reported.
    ui.Clear();
    composer.SetBody(Text("ab"));
    composer.SetSubject(Text("x"));
    EXPECT_TRUE(composer.UnmappableCharacters().empty());
    EXPECT_TRUE(ui.statusTexts.empty());
}

TEST(UnmappableStatusText, NamesEachCharacterOnceAndSumsUpTheRest)
{
    EXPECT_EQ(UnmappableStatusText(TextArea::Pin, {}), "");
    EXPECT_EQ(UnmappableStatusText(TextArea::DirectAddress, {0x1F600, 0x1F600}),
              Sj("E-mailアドレス：Shift_JISにない文字があります（U+1F600）。送信前に別の文字に置き換えてください。"));
    const std::string many = UnmappableStatusText(TextArea::Body, {1, 2, 3, 4, 5, 6, 7});
    EXPECT_NE(many.find("U+0005"), std::string::npos);
    EXPECT_EQ(many.find("U+0006"), std::string::npos);
    EXPECT_NE(many.find(Sj(" ほか")), std::string::npos);
}

// ------------------------------------------------------------ close query

TEST(CloseQuery, RefusedWithStatusAndBeepWhileSending)
{
    Settings settings;
    ScriptedUserInterface ui;
    EXPECT_TRUE(MainWindowCloseQuery(false, settings, ui));
    EXPECT_TRUE(ui.events.empty());

    EXPECT_FALSE(MainWindowCloseQuery(true, settings, ui));
    EXPECT_EQ(ui.events, (std::vector<std::string>{
                             "beep", "status:" + Sj("送信中：終了できません。完了or中止してから終了してください。")}));

    settings.BeepOnMessage = false;
    ui.Clear();
    EXPECT_FALSE(MainWindowCloseQuery(true, settings, ui));
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
} // namespace kitemail
