#include "settings/address_book.h"

#include "platform/profile.h"
#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kitemail {
namespace {

using Lines = std::vector<std::string>;

TEST(AddressBookLineTest, TakenApartByTheirCommasFormattedBackAndSorted)
{
    const std::pair<std::string, AddressBookEntry> rows[] = {
        {Sj("山田花子,h@example.jp,,3,-1"), {Sj("山田花子"), "h@example.jp", "", 3, -1}},
        {"Taro,X1,1234,2,1", {"Taro", "X1", "1234", 2, 1}}, {"a,b,c,4,2,extra,more", {"a", "b", "c", 4, 2}},
        // Four fields: one type digit is read. Fewer: positions step on by two.
        {"Taro,X1,,3", {"Taro", "X1", "", 3, -1}}, {"Taro,X1,,12", {"Taro", "X1", "", 1, -1}},
        {"Taro,X1", {"Taro", "X", "", 0, -1}}, {"Taro", {"", "T", "r", 0, -1}}, {"", {"", "", "", 0, -1}},
        {"a,b,,,", {"a", "b", "", 0, -1}}, {"a,b,,-1,0", {"a", "b", "", -1, 0}}, // stored as is, not range-checked
        {"Taro,X1,,3,z", {"Taro", "X1", "", 0, -1}}, {"Taro,X1,,3x,1", {"Taro", "X1", "", 0, -1}},
        {"Taro,X1,,99999999999,1", {"Taro", "X1", "", 0, -1}},
    };
    for (const auto& [line, expected] : rows) {
        EXPECT_EQ(ParseAddressBookEntry(line), expected) << line;
    }
    EXPECT_EQ(FormatAddressBookEntry("Taro", "X1", "", 3, -1), "Taro,X1,,3,-1");
    const AddressBookEntry e{Sj("太郎"), "t@example.jp", "0123", 9, 12};
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
        editor.SetTypeIndex(type);
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

TEST_F(AddressBookEditorTest, AddRefusesBadInputInOrderThenAppendsTheLineLeavingSelectionAndFields)
{
    settings.AddressBook = {"First,f@x,,0,-1"};
    const std::string needBoth = Sj("名前とアドレスは必ず入力してください。");
    // name, address, PIN, type, the message
    const std::tuple<const char*, const char*, const char*, std::int32_t, std::string> rows[] = {
        {"Taro", "", "1,2", 3, needBoth}, // tested first: the comma goes unreported
        {"", "X1", "", -1, needBoth},     {"Ta,ro", "X1", "", 3, noComma}, {"Taro", "X,1", "", 3, noComma},
        {"Taro", "X1", "1,", 3, noComma}, {"Ta,ro", "X1", "", -1, noComma}, // the comma before the type
        {"Taro", "X1", "", -1, Sj("端末タイプを指定してください。")},
    };
    for (const auto& [name, address, pin, type, message] : rows) {
        SCOPED_TRACE(std::string(name) + "/" + address);
        ui.Clear();
        Fill(name, address, pin, type);
        editor.AddEntry();
        EXPECT_EQ(ui.events, (Lines{"beep", "message:" + message}));
        EXPECT_EQ(settings.AddressBook, Lines{"First,f@x,,0,-1"});
        EXPECT_EQ(editor.Fields().name, name); // what the user typed stays
    }
    // A line longer than the settings file gives back would lose its type
    // and sender at the next start.
    ui.Clear();
    Fill("Taro", std::string(kProfileMaxValueBytes, 'x'), "", 3);
    editor.AddEntry();
    EXPECT_EQ(ui.events, (Lines{"beep", "message:" + Sj("入力データが長すぎます。")}));
    EXPECT_EQ(settings.AddressBook, Lines{"First,f@x,,0,-1"});

    ui.Clear();
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

TEST_F(AddressBookEditorTest, LoadingAnEntryFillsTheFieldsAndANewEntryClearsThem)
{
    const std::pair<const char*, AddressBookFields> rows[] = {
        {"Taro,X1,,3", {"Taro", "X1", "", 3, false, -1}}, {"Taro,X1,,,-7", {"Taro", "X1", "", 0, false, -1}},
        {"Taro,X1,,3,3", {"Taro", "X1", "", 3, true, 0}}, // a sender no longer in the list: the first
        {"Taro,X1,,12,-1", {"Taro", "X1", "", -1, false, -1}}, // type not in the table: no selection
        {"Taro,X1,99,2,1", {"Taro", "X1", "99", 2, true, 1}},
    };
    for (const auto& [line, expected] : rows) {
        SCOPED_TRACE(line);
        settings.AddressBook = {line};
        Load(0);
        EXPECT_EQ(editor.Fields(), expected);
    }
    EXPECT_TRUE(ui.events.empty()); // loading never replaces or complains

    // The page takes the current sender list each time it is shown.
    settings.SenderList = {"only@example.jp"};
    editor.PageShown();
    EXPECT_EQ(editor.SenderItems(), settings.SenderList);
    EXPECT_EQ(editor.Fields().senderIndex, 0); // reloaded: index 1 is gone

    // The terminal type of an entry selects and loads it.
    settings.AddressBook = {"a,1,12,6,1", "b,2,,,-1", "c,3,,42,-1"};
    settings.AutoReplaceOnInput = true;
    EXPECT_EQ(editor.TerminalTypeOfEntry(1), 0); // empty type field
    EXPECT_EQ(editor.TerminalTypeOfEntry(2), -1);
    EXPECT_EQ(editor.TerminalTypeOfEntry(3), -1); // beyond the list: the selection stays
    EXPECT_EQ(editor.SelectedIndex(), 2);
    EXPECT_EQ(editor.TerminalTypeOfEntry(0), 6);

    // A new entry clears the fields but not the sender check.
    ASSERT_TRUE(editor.Fields().senderChecked);
    editor.NewEntry();
    EXPECT_EQ(editor.SelectedIndex(), -1);
    EXPECT_EQ(editor.Fields(), (AddressBookFields{"", "", "", -1, true, -1}));
    editor.SetName("typed"); // nothing selected: nothing replaced
    EXPECT_EQ(settings.AddressBook[0], "a,1,12,6,1");
}

TEST_F(AddressBookEditorTest, ArrowsDraggingAndDeletingAndASelectionLeftBehindByAShorterBook)
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

    // Dragging moves the start entry to the drop entry.
    // start, drop, the book after it, the selection after it
    const std::tuple<std::int32_t, std::int32_t, Lines, std::int32_t> rows[] = {
        {0, 2, {"b", "c", "a", "d"}, 2}, {3, 0, {"d", "a", "b", "c"}, 0},
        {1, -1, {"a", "b", "c", "d"}, -1}, {7, 1, {"a", "b", "c", "d"}, 1}, // below the last, from no entry
    };
    for (const auto& [start, drop, order, selected] : rows) {
        SCOPED_TRACE(testing::Message() << start << " to " << drop);
        settings.AddressBook = {"a", "b", "c", "d"};
        editor.DragBegin(start);
        editor.DragOver(3);
        EXPECT_EQ(editor.SelectedIndex(), 3);
        editor.Drop(drop);
        ExpectBook(order, selected);
    }

    // Deleting asks first; the last drop left "b" selected.
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
