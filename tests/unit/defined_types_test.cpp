// Terminal types the user defines: counted and split exactly as a built-in
// type with the same choices, the combinations the ten lack, the editing
// rules' table; the editing walks, the section's load and save and what its
// reader cannot use are walks_test's.

#include "accounting/counter.h"
#include "accounting/splitter.h"
#include "accounting/terminal_type.h"
#include "file_bytes.h"
#include "golden.h"
#include "platform/data_dir.h"
#include "platform/profile.h"
#include "platform/text_codec.h"
#include "settings/address_book.h"
#include "settings/defined_types.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>

namespace kitemail {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using test::ReadBytes;

// The defined type that makes every choice as built-in type t does.
DefinedType CopyOf(TerminalType t, std::int32_t number)
{
    const TypeRules& r = TerminalTypeRow(t).rules;
    DefinedType d;
    d.type = TerminalTypeFromNumber(number);
    d.name = "copy" + std::to_string(TerminalTypeNumber(t));
    d.limit = r.defaultLimit;
    d.fixedCount = r.fixedCount;
    d.counts = r.counts;
    d.areas = {r.areas.subject, r.areas.pin, r.areas.attachments, r.areas.animationMode, false};
    return d;
}

std::string RandomText(std::mt19937& rng, std::size_t maxPieces)
{
    static const std::string pieces[] = {"a", "Z ", "\r\n", Sj("漢"), Sj("あい"), Sj("ソ"), "\xb6", "\xb6\xde",
                                         "\xca\xdf", "@", ",", "0123456789", Sj("ｱｲｳ"), "\x81\x40"};
    std::string s;
    for (auto n = rng() % (maxPieces + 1); n > 0; --n) {
        s += pieces[rng() % std::size(pieces)];
    }
    return s;
}

// For every row of the ten, its copy counts and splits every random
// message exactly as the row itself: same terms, same parts.
TEST(DefinedType, ACopyOfEachBuiltInRowCountsAndSplitsEveryMessageAsThatRow)
{
    test::TempDir dir;
    const std::vector<std::string> files = {dir.Write("small.bin", std::string(37, 's')).string(),
                                            Sj(dir.Write("大きい.noa", std::string(4000, 'b')).string())};
    std::mt19937 rng(27);
    for (const TerminalType t : kTerminalTypes) {
        const std::vector<DefinedType> list = {CopyOf(t, 10 + static_cast<std::int32_t>(rng() % 100))};
        const TerminalTypes types(list);
        const TerminalType copy = list.front().type;
        ASSERT_TRUE(types.Knows(copy));
        const TypeRules row = TerminalTypeRow(t).rules;
        const TypeRules rules = types.Rules(copy);
        EXPECT_EQ(rules.areas, row.areas);
        EXPECT_EQ(rules.sendsAttachments, row.sendsAttachments) << TerminalTypeNumber(t);
        EXPECT_EQ(rules.pinAsSubject, row.pinAsSubject) << TerminalTypeNumber(t);
        for (int round = 0; round < 400; ++round) {
            const std::string body = RandomText(rng, 30);
            const std::string subject = RandomText(rng, 8);
            const std::string sender = RandomText(rng, 10);
            const std::vector<std::string> attachments(files.begin(),
                                                       files.begin() + static_cast<std::ptrdiff_t>(rng() % 3));
            const CountOptions options{(rng() & 1) != 0, (rng() & 2) != 0, (rng() & 4) != 0};

            CountInputs in{.body = body, .subject = subject, .sender = sender, .attachments = attachments,
                           .type = t, .types = {}, .fixedLength = row.fixedCount, .options = options};
            const CountResult builtIn = CountMessageSize(in);
            in.type = copy;
            in.types = types;
            const CountResult defined = CountMessageSize(in);
            ASSERT_EQ(defined.count, builtIn.count) << TerminalTypeNumber(t) << " " << ::testing::PrintToString(body);
            ASSERT_EQ(defined.terms.Sum(), builtIn.terms.Sum());
            ASSERT_EQ(defined.terms.rules, builtIn.terms.rules);

            const std::int32_t limit = row.fixedCount + 1 + static_cast<std::int32_t>(rng() % 200);
            SplitInputs split{.body = body, .subject = subject, .from = sender, .type = t, .types = {},
                              .fixedLength = row.fixedCount, .maxLength = limit,
                              .countShiftBytes = options.CountShiftBytes,
                              .assumeSingleByteAtEnds = options.AssumeSingleByteAtEnds,
                              .partNumberInSubject = (rng() & 1) != 0};
            const SplitResult builtInParts = SplitMessage(split);
            const std::size_t builtInFits = BodyBytesThatFit(split);
            split.type = copy;
            split.types = types;
            const SplitResult definedParts = SplitMessage(split);
            ASSERT_EQ(definedParts.ok, builtInParts.ok);
            ASSERT_EQ(definedParts.parts, builtInParts.parts) << TerminalTypeNumber(t) << " limit " << limit;
            ASSERT_EQ(definedParts.unsentBytes, builtInParts.unsentBytes);
            ASSERT_EQ(definedParts.subject, builtInParts.subject);
            ASSERT_EQ(definedParts.numberInSubject, builtInParts.numberInSubject);
            ASSERT_EQ(BodyBytesThatFit(split), builtInFits);
        }
    }
}

// Rows of tables/defined_type_count.tsv: the choices (sender, subject,
// shifts, attachments as the file stores them), how many 1000-byte files
// are attached, the final-break choice, the fixed overhead, the options,
// the count without the attachments' path bytes, then body, subject, sender.
class DefinedTypeCountTable : public ::testing::TestWithParam<test::TableRow> {};

TEST_P(DefinedTypeCountTable, CountsAsItsChoicesSay)
{
    const test::TableRow& r = GetParam();
    test::TempDir dir;
    const std::string file = dir.Write("k.bin", std::string(1000, 'k')).string();
    DefinedType d;
    d.type = TerminalTypeFromNumber(42);
    d.name = "row";
    d.counts = {static_cast<SenderTerm>(r.Int(0)), static_cast<SubjectTerm>(r.Int(1)),
                static_cast<ShiftBytes>(r.Int(2)), static_cast<AttachmentTerm>(r.Int(3)), r[5] == "1"};
    d.areas.attachments = true;
    d.fixedCount = r.Int(6);
    const std::vector<DefinedType> list = {d};
    // P all off, E the ends taken as single-byte, F the final line break's
    // shift, S the 3Byte setting, D the defaults (E, F).
    const std::map<std::string, CountOptions> options = {{"P", {false, false, false}}, {"E", {false, true, false}},
                                                         {"F", {false, false, true}}, {"S", {true, false, false}},
                                                         {"D", {}}};
    const std::vector<std::string> attachments(static_cast<std::size_t>(r.Int(4)), file);
    const std::string body = Sj(r[9]);
    const std::string subject = Sj(r[10]);
    const std::string sender = Sj(r[11]);
    CountInputs in{.body = body, .subject = subject, .sender = sender, .attachments = attachments, .type = d.type,
                   .types = TerminalTypes(list), .fixedLength = d.fixedCount, .options = options.at(r[7])};
    const CountResult result = CountMessageSize(in);
    ASSERT_TRUE(result.ok);
    const std::size_t pathBytes = d.counts.attachments == AttachmentTerm::SizesAndPaths ? file.size() : 0;
    EXPECT_EQ(result.count, r.Int(8) + static_cast<std::int32_t>(attachments.size() * pathBytes));
}

INSTANTIATE_TEST_SUITE_P(Rows, DefinedTypeCountTable, ::testing::ValuesIn(test::ReadTable("defined_type_count")),
                         test::TableRowName());

} // namespace
} // namespace kitemail
