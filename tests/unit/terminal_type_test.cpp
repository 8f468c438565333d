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
    using enum TerminalType;
    EXPECT_EQ(DefaultTypeMaxLengths(), (TypeLimits{6000, 384, 384, 500, 20000, 100, 10000, 5000, 12000, 5000}));
    // The two type boxes spell FOMA differently. (Status and survey texts
    // are asserted where the composer and the window show them.)
    EXPECT_EQ(TypeBoxText(IModeFoma), "i-mode(FOMA)");
    EXPECT_EQ(MainTypeBoxText(IModeFoma), "i-mode(foma)");
    EXPECT_EQ(TerminalTypeRow(SkyWalker).rules.areas, (InputAreas{false, true, false, false, false}));
    EXPECT_EQ(TerminalTypeRow(Unspecified).rules.areas, (InputAreas{true, true, true, false, true}));
    EXPECT_EQ(TerminalTypeRow(VodafoneSuperMail).rules.areas, (InputAreas{true, false, true, true, false}));
    for (std::int32_t t = -1; t < kTerminalTypeCount; ++t) {
        const TerminalTypeInfo& row = TerminalTypeRow(TerminalTypeFromNumber(t));
        // Every text converts to the code page without loss.
        EXPECT_TRUE(Utf8ToSjis(row.statusText).ok()) << t;
        EXPECT_TRUE(Utf8ToSjis(row.surveyText).ok()) << t;
        // Attachments are sent exactly where they are offered, and counted
        // only there (EZweb@mail sends them uncounted).
        EXPECT_EQ(row.rules.sendsAttachments, row.rules.areas.attachments) << t;
        EXPECT_TRUE(row.rules.areas.attachments || row.rules.counts.attachments == AttachmentTerm::None) << t;
        EXPECT_EQ(row.rules.pinAsSubject, row.rules.areas.pin && !row.rules.areas.subject) << t;
    }
}

// A type's limit from its slot, the unspecified type's from the settings
// given; a number that names no type changes nothing.
TEST(ApplyTerminalType, TakesLimitsFromSlotsOrSettings)
{
    using enum TerminalType;
    TerminalTypeState s;
    s.TypeMaxLengths[9] = 4321;
    const auto state = [&s] { return std::tuple(s.CurrentTerminalType, s.CurrentMaxLength, s.CurrentFixedLength); };
    EXPECT_TRUE(s.ApplyTerminalType(IModeFoma, 384, 55));
    EXPECT_EQ(state(), std::tuple(IModeFoma, 4321, 0));
    EXPECT_TRUE(s.ApplyTerminalType(Unspecified, 1000, 77));
    EXPECT_EQ(state(), std::tuple(Unspecified, 1000, 77));
    EXPECT_FALSE(s.ApplyTerminalType(TerminalTypeFromNumber(10), 1, 1));
    EXPECT_FALSE(s.ApplyTerminalType(TerminalTypeFromNumber(-2), 1, 1));
    EXPECT_EQ(state(), std::tuple(Unspecified, 1000, 77));
}

} // namespace
} // namespace kitemail
