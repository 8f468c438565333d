// The settings dialog's page of defined terminal types without its widgets,
// and the main window's composer following a change of them.

#include "settings/defined_types_editor.h"

#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "send/message_composer.h"
#include "settings/address_book.h"
#include "settings/defined_types.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <functional>

namespace kitemail {
namespace {

using Lines = std::vector<std::string>;

class DefinedTypesEditorTest : public ::testing::Test {
protected:
    DefinedTypesEditorTest() { settings.BeepOnMessage = false; }

    // The list with the selected type in brackets, then the fields' name.
    std::string Shown() const
    {
        std::string out;
        const Lines names = editor.Names();
        for (std::size_t i = 0; i < names.size(); ++i) {
            const bool selected = static_cast<std::int32_t>(i) == editor.SelectedIndex();
            out += (selected ? "[" : "") + names[i] + (selected ? "]" : "") + " ";
        }
        return out + "| " + editor.Fields().name;
    }
    void Write(const char* name, std::function<void(DefinedType&)> more = {})
    {
        DefinedType d = editor.Fields();
        d.name = Sj(name);
        if (more) {
            more(d);
        }
        editor.SetFields(d);
    }

    Settings settings;
    test::ScriptedUserInterface ui;
    DefinedTypesEditor editor{settings, ui};
};

TEST_F(DefinedTypesEditorTest, AddReplaceAndDeleteKeepTheRulesAndNameTheEntriesInUse)
{
    settings.AddressBook = {"A,a@x,,10,-1", "B,b@x,,3,-1", "C,c@x,,11,-1"};
    const struct {
        const char* step;
        std::function<void()> act;
        std::string shown;
        Lines messages;
    } walk[] = {
        // Which names and choices are refused is the rules' own test's.
        {"a refusal is told", [&] { Write("i-mode"); editor.Add(); }, "| i-mode",
         {Sj("その種別名は既に使われています。")}},
        {"added under 10 and selected",
         [&] {
             Write("docomo", [](DefinedType& d) { d.areas.attachments = true; });
             editor.Add();
         },
         "[docomo] | docomo", {}},
        {"a second one under 11", [&] { Write("au"); editor.Add(); }, "docomo [au] | au", {}},
        {"replace refuses another's name", [&] { Write("docomo"); editor.Replace(); }, "docomo [au] | docomo",
         {Sj("その種別名は既に使われています。")}},
        {"replace keeps the number",
         [&] {
             Write("au.com", [](DefinedType& d) { d.limit = 3000; });
             editor.Replace();
         },
         "docomo [au.com] | au.com", {}},
        {"new empties the fields", [&] { editor.New(); }, "docomo au.com | ", {}},
        {"a click loads a type", [&] { editor.Select(0); }, "[docomo] au.com | docomo", {}},
    };
    for (const auto& [step, act, shown, messages] : walk) {
        ui.Clear();
        act();
        EXPECT_EQ(Shown(), shown) << step;
        EXPECT_EQ(ui.messages, messages) << step;
    }
    ASSERT_EQ(settings.DefinedTypes.size(), 2U);
    EXPECT_EQ(settings.DefinedTypes[0].type, TerminalTypeFromNumber(10));
    EXPECT_TRUE(settings.DefinedTypes[0].areas.attachments);
    EXPECT_EQ(settings.DefinedTypes[1].type, TerminalTypeFromNumber(11));
    EXPECT_EQ(settings.DefinedTypes[1].limit, 3000);

    // Another program's save took docomo away: the selection follows au.com.
    editor.Select(1);
    const std::vector<DefinedType> before = settings.DefinedTypes;
    settings.DefinedTypes.erase(settings.DefinedTypes.begin());
    EXPECT_EQ(Shown(), "[au.com] | au.com");
    settings.DefinedTypes = before;

    // Deleting a type that entries and the default type use names them and
    // asks; "いいえ" keeps everything.
    settings.DefaultType = TerminalTypeFromNumber(11);
    editor.Select(1);
    ui.Clear();
    ui.confirmAnswers = {false, true};
    editor.Delete();
    const std::string question = Sj("端末タイプ「au.com」を削除します。\nアドレス帳の次の項目が、この端末タイプを使って"
                                    "います：\n  C\nこれらの項目の端末タイプは未指定になります。\n送信先端末タイプデフォ"
                                    "ルト設定も未指定になります。\n削除してよろしいですか？");
    ASSERT_EQ(ui.questions.size(), 1U);
    EXPECT_EQ(ui.questions[0].text, question);
    EXPECT_EQ(settings.DefinedTypes, before);
    editor.Delete();
    EXPECT_EQ(Shown(), "docomo | au.com");
    EXPECT_EQ(settings.AddressBook, (Lines{"A,a@x,,10,-1", "B,b@x,,3,-1", "C,c@x,,-1,-1"}));
    EXPECT_EQ(settings.DefaultType, TerminalType::Unspecified);

    // A type nothing uses is deleted after the usual question.
    settings.AddressBook.clear();
    editor.Select(0);
    ui.Clear();
    ui.confirmAnswers = {true};
    editor.Delete();
    EXPECT_EQ(ui.questions.at(0).text, Sj("選択項目を削除してよろしいですか？"));
    EXPECT_TRUE(settings.DefinedTypes.empty());
}

// Numbers 10 to 109, then no more.
TEST_F(DefinedTypesEditorTest, ManyEntriesAreCountedAndTheHundredthTypeIsTheLast)
{
    for (int i = 0; i < 12; ++i) {
        settings.AddressBook.push_back("E" + std::to_string(i) + ",e@x,,10,-1");
    }
    for (int i = 0; i < kMaxDefinedTypes; ++i) {
        Write(("t" + std::to_string(i)).c_str());
        editor.Add();
    }
    EXPECT_EQ(settings.DefinedTypes.back().type, TerminalTypeFromNumber(kFirstDefinedType + kMaxDefinedTypes - 1));
    Write("one more");
    editor.Add();
    EXPECT_EQ(ui.messages, (Lines{Sj("これ以上端末タイプを追加できません（100 種類まで）。")}));

    editor.Select(0);
    ui.confirmAnswers = {false};
    editor.Delete();
    const std::string& text = ui.questions.at(0).text;
    EXPECT_NE(text.find("\n  E9\n" + Sj("  ほか 2 件\n")), std::string::npos) << text;
    EXPECT_EQ(text.find("E10"), std::string::npos);
}

// The main window's type box and current type after the dialog changed
// the types: a changed current type applies again, a deleted one leaves.
TEST(ComposerFollowsDefinedTypes, AChangedCurrentTypeAppliesAgainAndADeletedOneGoes)
{
    Settings settings;
    settings.BeepOnMessage = false;
    test::ScriptedUserInterface ui;
    MessageComposer composer{settings, ui};
    DefinedType d;
    d.name = "gw";
    d.limit = 200;
    d.areas = {true, false, false, false, false};
    ASSERT_TRUE(AddDefinedType(settings, d));
    const TerminalType t = TerminalTypeFromNumber(10);
    composer.TypeBoxChanged(t);
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, t);
    EXPECT_EQ(composer.Display().limit, 200);

    // The ten wait for their next application; so does a defined limit alone.
    settings.DefinedTypes[0].limit = 300;
    EXPECT_FALSE(composer.FollowDefinedTypes());
    EXPECT_EQ(composer.Display().limit, 200);
    // What it offers changed: applied again, with the new limit.
    settings.DefinedTypes[0].areas.attachments = true;
    settings.DefinedTypes[0].areas.pin = true;
    EXPECT_TRUE(composer.FollowDefinedTypes());
    EXPECT_EQ(composer.Areas(), (InputAreas{true, true, true, false, false}));
    EXPECT_EQ(composer.Display().limit, 300);

    ASSERT_TRUE(DeleteDefinedType(settings, t));
    EXPECT_TRUE(composer.FollowDefinedTypes());
    EXPECT_EQ(composer.TypeBox(), TerminalType::Unspecified);
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, TerminalType::Unspecified);
    EXPECT_EQ(composer.Display().limit, settings.MaxLen);
}

} // namespace
} // namespace kitemail
