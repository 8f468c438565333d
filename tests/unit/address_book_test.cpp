#include "settings/address_book.h"

#include "golden.h"
#include "platform/profile.h"
#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "settings/settings.h"

#include <gtest/gtest.h>


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

} // namespace
} // namespace kitemail
