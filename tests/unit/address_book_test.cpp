#include "settings/address_book.h"

#include "golden.h"
#include "platform/text_codec.h"
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

} // namespace
} // namespace kitemail
