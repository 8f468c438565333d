// The terminal type table and choosing the current type.

#include "accounting/terminal_type.h"
#include "platform/text_codec.h"
#include "settings/address_book.h"

#include <gtest/gtest.h>

#include <vector>

namespace kitemail {
namespace {

TEST(TerminalTypeTable, TextsLimitsAndAreas)
{
    EXPECT_EQ(DefaultTypeMaxLengths(), (TypeLimits{6000, 384, 384, 500, 20000, 100, 10000, 5000, 12000, 5000}));
    EXPECT_EQ(TypeBoxText(9), "i-mode(FOMA)");
    EXPECT_EQ(MainTypeBoxText(9), "i-mode(foma)");
    EXPECT_EQ(TypeBoxText(4), "H\"Link");
    EXPECT_EQ(SelectionStatusText(3), Sj("i-mode Mail 方式を選択"));
    EXPECT_EQ(SelectionStatusText(-1), Sj("方式を特定出来ません"));
    EXPECT_EQ(SurveyText(42), Sj("端末を特定出来ません"));
    EXPECT_EQ(SurveyText(2), Sj("vodafone SkyWalker/Tu-Ka SkyMessage 対応端末"));
    EXPECT_EQ(TerminalTypeRow(2).areas, (InputAreas{false, true, false, false, false}));
    EXPECT_EQ(TerminalTypeRow(-1).areas, (InputAreas{true, true, true, false, true}));
    EXPECT_EQ(TerminalTypeRow(8).areas, (InputAreas{true, false, true, true, false}));
    for (std::int32_t t = -1; t < kTerminalTypeCount; ++t) {
        const TerminalTypeInfo& row = TerminalTypeRow(t);
        // Every text converts to the code page without loss.
        EXPECT_TRUE(Utf8ToSjis(row.statusText).ok()) << t;
        EXPECT_TRUE(Utf8ToSjis(row.surveyText).ok()) << t;
        // Attachments are sent exactly where they are offered, and counted
        // only there (EZweb@mail sends them uncounted).
        EXPECT_EQ(row.sendsAttachments, row.areas.attachments) << t;
        EXPECT_TRUE(row.areas.attachments || row.counts.attachments == AttachmentTerm::None) << t;
        EXPECT_EQ(row.pinAsSubject, row.areas.pin && !row.areas.subject) << t;
    }
}

TEST(ApplyTerminalType, TakesLimitsFromSlotsOrSettings)
{
    TerminalTypeState s;
    s.TypeMaxLengths[9] = 4321;
    EXPECT_TRUE(s.ApplyTerminalType(9, 384, 55));
    EXPECT_EQ(s.CurrentMaxLength, 4321);
    EXPECT_EQ(s.CurrentFixedLength, 0);
    EXPECT_TRUE(s.ApplyTerminalType(-1, 1000, 77));
    EXPECT_EQ(s.CurrentTerminalType, -1);
    EXPECT_EQ(s.CurrentMaxLength, 1000);
    EXPECT_EQ(s.CurrentFixedLength, 77);
    EXPECT_FALSE(s.ApplyTerminalType(10, 1, 1));
    EXPECT_FALSE(s.ApplyTerminalType(-2, 1, 1));
    EXPECT_EQ(s.CurrentTerminalType, -1);
    // A changed slot takes effect only at the next application.
    EXPECT_TRUE(s.ApplyTerminalType(3, 0, 0));
    s.TypeMaxLengths[3] = 999;
    EXPECT_EQ(s.CurrentMaxLength, 500);
    EXPECT_TRUE(s.ApplyTerminalType(3, 0, 0));
    EXPECT_EQ(s.CurrentMaxLength, 999);
}

TEST(TerminalTypeOfLine, ReadsTheFourthField)
{
    EXPECT_EQ(TerminalTypeOfLine("Taro,X1,,3,-1"), 3);
    EXPECT_EQ(TerminalTypeOfLine("Taro,X1,,3"), 3);
    EXPECT_EQ(TerminalTypeOfLine("Taro,X1,,,-1"), 0);  // empty type counts as 0
    EXPECT_EQ(TerminalTypeOfLine("Taro,X1,,12,-1"), -1);
    EXPECT_EQ(TerminalTypeOfLine("Taro,X1,,x,-1"), 0);
    EXPECT_EQ(TerminalTypeOfLine("Taro"), 0);
}

TEST(DeriveTypeFromTicks, CommonTypeOrUnspecified)
{
    using V = std::vector<std::int32_t>;
    EXPECT_EQ(DeriveTypeFromTicks(V{}), -1);
    EXPECT_EQ(DeriveTypeFromTicks(V{3, 3}), 3);
    EXPECT_EQ(DeriveTypeFromTicks(V{3, 6}), -1);
    EXPECT_EQ(DeriveTypeFromTicks(V{-1, 3, 3}), 3); // an unreadable type before a valid one is passed over
    EXPECT_EQ(DeriveTypeFromTicks(V{3, -1}), -1);   // after one it mixes the set
}

} // namespace
} // namespace kitemail
