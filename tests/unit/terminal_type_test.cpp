// The terminal type table and applying a type (choosing one from ticked
// entries is the composer's, tested there).

#include "accounting/terminal_type.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kitemail {
namespace {

TEST(TerminalTypeTable, TextsLimitsAndAreas)
{
    EXPECT_EQ(DefaultTypeMaxLengths(), (TypeLimits{6000, 384, 384, 500, 20000, 100, 10000, 5000, 12000, 5000}));
    // The two type boxes spell FOMA differently. (Status and survey texts
    // are asserted where the composer and the window show them.)
    EXPECT_EQ(TypeBoxText(9), "i-mode(FOMA)");
    EXPECT_EQ(MainTypeBoxText(9), "i-mode(foma)");
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

// A type's limit from its slot, the unspecified type's from the settings
// given; anything outside -1..9 changes nothing.
TEST(ApplyTerminalType, TakesLimitsFromSlotsOrSettings)
{
    TerminalTypeState s;
    s.TypeMaxLengths[9] = 4321;
    const auto state = [&s] { return std::tuple(s.CurrentTerminalType, s.CurrentMaxLength, s.CurrentFixedLength); };
    EXPECT_TRUE(s.ApplyTerminalType(9, 384, 55));
    EXPECT_EQ(state(), std::tuple(9, 4321, 0));
    EXPECT_TRUE(s.ApplyTerminalType(-1, 1000, 77));
    EXPECT_EQ(state(), std::tuple(-1, 1000, 77));
    EXPECT_FALSE(s.ApplyTerminalType(10, 1, 1));
    EXPECT_FALSE(s.ApplyTerminalType(-2, 1, 1));
    EXPECT_EQ(state(), std::tuple(-1, 1000, 77));
}

} // namespace
} // namespace kitemail
