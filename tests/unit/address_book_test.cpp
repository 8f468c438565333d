#include "settings/address_book.h"

#include "golden.h"
#include "platform/profile.h"
#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kitemail {
namespace {

using Lines = std::vector<std::string>;

class AddressBookLine : public ::testing::TestWithParam<test::TableRow> {};

TEST_P(AddressBookLine, IsTakenApartByItsCommas)
{
    const test::TableRow& r = GetParam();
    EXPECT_EQ(ParseAddressBookEntry(Sj(r[0])), (AddressBookEntry{Sj(r[1]), r[2], r[3], TerminalTypeFromNumber(r.Int(4)), r.Int(5)}));
}

INSTANTIATE_TEST_SUITE_P(Rows, AddressBookLine, ::testing::ValuesIn(test::ReadTable("address_book_line")),
                         test::TableRowName());

TEST(AddressBookLineTest, FormattedBackAndSorted)
{
    EXPECT_EQ(FormatAddressBookEntry("Taro", "X1", "", TerminalType::IMode, -1), "Taro,X1,,3,-1");
    const AddressBookEntry e{Sj("太郎"), "t@example.jp", "0123", TerminalType::IModeFoma, 12};
    EXPECT_EQ(ParseAddressBookEntry(FormatAddressBookEntry(e.name, e.address, e.pin, e.type, e.sender)), e);

    // Lines sort ascending without regard to case, and stably.
    EXPECT_FALSE(AddressBookLineLess("ABC", "abc") || AddressBookLineLess("abc", "ABC"));
    EXPECT_TRUE(AddressBookLineLess("Zeta", Sj("あ"))); // double-byte text after ASCII
    // Trail bytes 0x41 and 0x61 belong to different characters.
    EXPECT_TRUE(AddressBookLineLess("\x83\x41", "\x83\x61"));
    Lines lines = {"beta,2", "Alpha,1", "BETA,3", "alpha,0", "b", "B", "a", "A"};
    SortAddressBookLines(lines);
    EXPECT_EQ(lines, (Lines{"a", "A", "alpha,0", "Alpha,1", "b", "B", "beta,2", "BETA,3"}));
}

class AddressBookEditorTest : public ::testing::Test {
protected:
    AddressBookEditorTest()
    {
        settings.SortAddressBook = false;
        settings.SenderList = {"me@example.jp", "me2@example.jp,reply@example.jp", "third@example.jp"};
        editor.PageShown();
    }
    void Fill(std::string name, std::string address, std::string pin, std::int32_t type)
    {
        editor.SetName(std::move(name));
        editor.SetAddress(std::move(address));
        editor.SetPin(std::move(pin));
        editor.SetType(TerminalTypeFromNumber(type));
    }
    void Load(std::int32_t index) { editor.Select(index); editor.ShowEntry(); }
    void ExpectBook(const Lines& lines, std::int32_t selected)
    {
        EXPECT_EQ(std::pair(settings.AddressBook, editor.SelectedIndex()), std::pair(lines, selected));
    }

    const std::string noComma = Sj("入力データには、\",\"は使えません。");
    Settings settings;
    test::ScriptedUserInterface ui;
    AddressBookEditor editor{settings, ui};
};

class AddressBookRefusal : public AddressBookEditorTest, public ::testing::WithParamInterface<test::TableRow> {};

TEST_P(AddressBookRefusal, AddRefusesBadInput)
{
    const test::TableRow& r = GetParam();
    settings.AddressBook = {"First,f@x,,0,-1"};
    Fill(r[0], r[1], r[2], r.Int(3));
    editor.AddEntry();
    EXPECT_EQ(ui.events, (Lines{"beep", "message:" + Sj(r[4])}));
    EXPECT_EQ(settings.AddressBook, Lines{"First,f@x,,0,-1"});
    EXPECT_EQ(editor.Fields().name, r[0]); // what the user typed stays
}

INSTANTIATE_TEST_SUITE_P(Rows, AddressBookRefusal, ::testing::ValuesIn(test::ReadTable("address_book_refusal")),
                         test::TableRowName());

TEST_F(AddressBookEditorTest, AddAppendsTheLineLeavingSelectionAndFields)
{
    settings.AddressBook = {"First,f@x,,0,-1"};
    Fill("Taro", "X1", "", 3);
    editor.AddEntry();
    ExpectBook({"First,f@x,,0,-1", "Taro,X1,,3,-1"}, -1);
    editor.SenderCheckClicked(true);
    editor.SetSenderIndex(1);
    editor.SetPin("1234");
    editor.AddEntry();
    EXPECT_EQ(settings.AddressBook.back(), "Taro,X1,1234,3,1");
    EXPECT_TRUE(ui.events.empty());

    // Sorting on sorts once, the selection following its entry; while sorted
    // a new line goes to its sorted place and the selection stays on its entry.
    settings.AddressBook = {"Sato,s@x,,0,-1", "Aoki,a@x,,0,-1"};
    editor.Select(0);
    editor.SetSorted(true);
    ExpectBook({"Aoki,a@x,,0,-1", "Sato,s@x,,0,-1"}, 1);
    Fill("kato", "k@x", "", 3);
    editor.SenderCheckClicked(false);
    editor.AddEntry();
    ExpectBook({"Aoki,a@x,,0,-1", "kato,k@x,,3,-1", "Sato,s@x,,0,-1"}, 2);
}

TEST_F(AddressBookEditorTest, ReplaceNeedsALoadedEntryKeepsItsIndexAndCanBeAutomatic)
{
    settings.AddressBook = {"Taro,X1,,3,-1", "Hanako,H1,,6,-1"};
    Fill("New", "N1", "", 1);
    editor.Select(0);
    editor.ReplaceEntry(); // selected but never loaded
    EXPECT_EQ(settings.AddressBook, (Lines{"Taro,X1,,3,-1", "Hanako,H1,,6,-1"}));

    Load(1);
    Fill("", "", "", 6);
    editor.ReplaceEntry();
    ExpectBook({"Taro,X1,,3,-1", ",,,6,-1"}, 1); // empty name and address are accepted here
    editor.SetPin("1,2");
    editor.ReplaceEntry();
    EXPECT_EQ(settings.AddressBook[1], ",,,6,-1");
    EXPECT_EQ(ui.messages, Lines{noComma});

    // The line stays at its index even in a sorted list.
    editor.SetSorted(true);
    Load(0);
    editor.SetName("zeta");
    editor.ReplaceEntry();
    ExpectBook({"zeta,,,6,-1", "Taro,X1,,3,-1"}, 0);

    // Automatic replacement writes each edit at once.
    settings.AutoReplaceOnInput = true;
    ui.Clear();
    editor.SetAddress("X12");
    EXPECT_EQ(settings.AddressBook[0], "zeta,X12,,6,-1");
    editor.SenderCheckClicked(true);
    EXPECT_EQ(settings.AddressBook[0], "zeta,X12,,6,0");
    EXPECT_TRUE(ui.events.empty());
    editor.SetName("Ta,ro");
    editor.SetName("Ta,ro"); // setting a field to the value it has is no edit
    EXPECT_EQ(settings.AddressBook, (Lines{"zeta,X12,,6,0", "Taro,X1,,3,-1"}));
    EXPECT_EQ(ui.events, (Lines{"beep", "message:" + noComma}));
}

class AddressBookLoad : public AddressBookEditorTest, public ::testing::WithParamInterface<test::TableRow> {};

TEST_P(AddressBookLoad, FillsTheFields)
{
    const test::TableRow& r = GetParam();
    settings.AddressBook = {r[0]};
    Load(0);
    EXPECT_EQ(editor.Fields(), (AddressBookFields{r[1], r[2], r[3], TerminalTypeFromNumber(r.Int(4)), r.Int(5) != 0, r.Int(6)}));
    EXPECT_TRUE(ui.events.empty()); // loading never replaces or complains
}

INSTANTIATE_TEST_SUITE_P(Rows, AddressBookLoad, ::testing::ValuesIn(test::ReadTable("address_book_fields")),
                         test::TableRowName());

TEST_F(AddressBookEditorTest, TheSenderListTheTypeOfAnEntryAndANewEntry)
{
    // The page takes the current sender list each time it is shown.
    settings.AddressBook = {"Taro,X1,99,2,1"};
    Load(0);
    settings.SenderList = {"only@example.jp"};
    editor.PageShown();
    EXPECT_EQ(editor.SenderItems(), settings.SenderList);
    EXPECT_EQ(editor.Fields().senderIndex, 0); // reloaded: index 1 is gone

    // The terminal type of an entry selects and loads it.
    settings.AddressBook = {"a,1,12,6,1", "b,2,,,-1", "c,3,,42,-1"};
    settings.AutoReplaceOnInput = true;
    EXPECT_EQ(editor.TerminalTypeOfEntry(1), TerminalType::VodafoneLongMail); // empty type field
    EXPECT_EQ(editor.TerminalTypeOfEntry(2), TerminalType::Unspecified);
    EXPECT_EQ(editor.TerminalTypeOfEntry(3), TerminalType::Unspecified); // beyond the list: the selection stays
    EXPECT_EQ(editor.SelectedIndex(), 2);
    EXPECT_EQ(editor.TerminalTypeOfEntry(0), TerminalType::EZwebMail);

    // A new entry clears the fields but not the sender check.
    ASSERT_TRUE(editor.Fields().senderChecked);
    editor.NewEntry();
    EXPECT_EQ(editor.SelectedIndex(), -1);
    EXPECT_EQ(editor.Fields(), (AddressBookFields{"", "", "", TerminalType::Unspecified, true, -1}));
    editor.SetName("typed"); // nothing selected: nothing replaced
    EXPECT_EQ(settings.AddressBook[0], "a,1,12,6,1");
}

// Dragging moves the start entry to the drop entry.
class AddressBookDrag : public AddressBookEditorTest, public ::testing::WithParamInterface<test::TableRow> {};

TEST_P(AddressBookDrag, MovesTheStartEntryToTheDropEntry)
{
    const test::TableRow& r = GetParam();
    settings.AddressBook = {"a", "b", "c", "d"};
    editor.DragBegin(r.Int(0));
    editor.DragOver(3);
    EXPECT_EQ(editor.SelectedIndex(), 3);
    editor.Drop(r.Int(1));
    ExpectBook(r.List(2), r.Int(3));
}

INSTANTIATE_TEST_SUITE_P(Rows, AddressBookDrag, ::testing::ValuesIn(test::ReadTable("address_book_drag")),
                         test::TableRowName());

TEST_F(AddressBookEditorTest, ArrowsAndDeletingAndASelectionLeftBehindByAShorterBook)
{
    // Arrows stop at the ends.
    settings.AddressBook = {"a", "b", "c"};
    editor.Select(0);
    editor.MoveEntry(-1);
    editor.Select(2);
    editor.MoveEntry(1);
    ExpectBook({"a", "b", "c"}, 2);
    editor.MoveEntry(-2);
    ExpectBook({"c", "a", "b"}, 0);

    // Deleting asks first.
    settings.AddressBook = {"a", "b", "c", "d"};
    editor.Select(1);
    ui.confirmAnswers = {false, true};
    editor.DeleteEntry();
    ExpectBook({"a", "b", "c", "d"}, 1);
    EXPECT_EQ(ui.events, (Lines{"beep", "confirm:" + Sj("選択項目を削除してよろしいですか？")}));
    EXPECT_EQ(ui.questions.at(0).title, Sj("確認"));
    editor.DeleteEntry();
    ExpectBook({"a", "c", "d"}, -1);

    Load(2);
    ui.Clear();
    settings.AddressBook.pop_back(); // the main window reordered or shortened the book
    EXPECT_EQ(editor.SelectedIndex(), -1);
    editor.ReplaceEntry();
    editor.MoveEntry(-1);
    editor.DeleteEntry();
    EXPECT_EQ(settings.AddressBook, (Lines{"a", "c"}));
    EXPECT_TRUE(ui.events.empty());
}

} // namespace
} // namespace kitemail
