// Counting a message as each receiving service counts it.

#include "accounting/counter.h"
#include "accounting/terminal_type.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "temp_dir.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <random>

namespace kitemail {
namespace {

std::int32_t Count(std::int32_t type, std::string_view body, std::string_view subject = "",
                   std::string_view sender = "", CountOptions options = {false, false, false}, std::int32_t fixLen = 55)
{
    CountInputs in;
    in.body = body;
    in.subject = subject;
    in.sender = sender;
    in.type = type;
    in.fixedLength = type == -1 ? fixLen : TerminalTypeRow(type).fixedCount;
    in.options = options;
    const CountResult r = CountMessageSize(in);
    EXPECT_TRUE(r.ok);
    return r.count;
}

TEST(CountShiftSequences, CountsTransitionsBetweenMarks)
{
    const std::string kana = Sj("あいう");
    EXPECT_EQ(CountShiftSequences("", true), 0);
    EXPECT_EQ(CountShiftSequences(kana, false), 0);
    EXPECT_EQ(CountShiftSequences(kana, true), 2);
    EXPECT_EQ(CountShiftSequences("a" + kana + "b" + kana, false), 3);
    EXPECT_EQ(CountShiftSequences("a" + kana + "b" + kana, true), 4);
    EXPECT_EQ(CountShiftSequences(Sj("ソ") + "a", false), 1); // a trail byte in the ASCII range
    EXPECT_EQ(CountShiftSequences("a\x83", false), 0);         // a dangling lead byte
}

struct CountRow {
    const char* name;
    std::int32_t type;
    std::string body, subject, sender;
    CountOptions options;
    std::int32_t count;
};

class CountTable : public ::testing::TestWithParam<CountRow> {};

TEST_P(CountTable, CountsAsTheServiceDoes)
{
    const CountRow& r = GetParam();
    EXPECT_EQ(Count(r.type, r.body, r.subject, r.sender, r.options, 10), r.count);
}

// Options: P all off, E the ends taken as single-byte, F the final line
// break's shift, S shift bytes on the unspecified type, D the defaults (E, F).
constexpr CountOptions P{false, false, false}, E{false, true, false}, F{false, false, true}, S{true, false, false},
    D{};
const std::string kKana = Sj("あいうえお"), kKana20 = Sj("あいうえおかきくけこさしすせそたちつてと"), kS60(60, 's');

INSTANTIATE_TEST_SUITE_P(
    Rows, CountTable,
    ::testing::Values(
        // F 55 + sender 15 + subject 2 + body 13 + one shift.
        CountRow{"WorkedExample", 0, kKana + "abc", "Hi", std::string(15, 's'), P, 88},
        CountRow{"WorkedExampleWithEndsSingleByte", 0, kKana + "abc", "Hi", std::string(15, 's'), E, 91},
        CountRow{"WorkedExampleFinalBreakAfterAscii", 0, kKana + "abc", "Hi", std::string(15, 's'), F, 88},
        CountRow{"WorkedExampleFinalBreakAfterKana", 0, kKana, "Hi", std::string(15, 's'), F, 84},
        CountRow{"EmptyImode", 3, "", "", "", D, 0},
        CountRow{"OneKanji", 0, Sj("あ"), "", "", P, 57},
        CountRow{"OneKanjiWithEnds", 0, Sj("あ"), "", "", E, 63},
        CountRow{"OneKanjiWithDefaults", 0, Sj("あ"), "", "", D, 65},
        // Half-width kana count as their full-width forms, with a sound mark that combines.
        CountRow{"HalfWidthKa", 3, "\xb6", "", "", P, 2},
        CountRow{"HalfWidthKaVoicedIsGa", 3, "\xb6\xde", "", "", P, 2},
        CountRow{"HalfWidthAVoicedStaysTwo", 3, "\xb1\xde", "", "", P, 4},
        CountRow{"HalfWidthHaSemiVoicedIsPa", 3, "\xca\xdf", "", "", P, 2},
        CountRow{"ShiftsAroundAMergedKana", 0, "x\xb6\xdey", "", "", P, 65},
        // A subject over 40 bytes counts a flat 40; up to 40, with its shifts.
        CountRow{"Subject41BytesLongMail", 0, "", std::string(41, 'x'), "", P, 95},
        CountRow{"Subject41BytesFreeRange", 1, "", kKana20 + "x", "", P, 95},
        CountRow{"Subject40BytesWithoutShifts", 0, "", kKana20, "", P, 95},
        CountRow{"Subject40BytesWithAShift", 8, "", "x" + kKana20.substr(2), "", P, 90},
        CountRow{"SkyWalkerHasNoSubjectTerm", 2, "", std::string(41, 'x'), "", P, 7},
        // The sender: capped at 55, whole, the local part with its "@", or nothing.
        CountRow{"SenderCappedLongMail", 0, "", "", kS60, P, 110},
        CountRow{"SenderCappedSkyWalker", 2, "", "", kS60, P, 62},
        CountRow{"SenderCappedSuperMail", 8, "", "", kS60, P, 103},
        CountRow{"SenderWholeUnspecified", -1, "", "", kS60, P, 70},
        CountRow{"SenderWholeHLink", 4, "", "", kS60, P, 60},
        CountRow{"SenderWholeEZweb", 7, "", "", kS60, P, 90},
        CountRow{"NoSenderImode", 3, "", "", kS60, P, 0},
        CountRow{"NoSenderFoma", 9, "", "", kS60, P, 0},
        CountRow{"CmailSenderUpToAt", 5, "", "", "abc@example.jp", P, 17},
        CountRow{"CmailSenderWithoutAt", 5, "", "", "abc", P, 13},
        CountRow{"CmailSenderFirstAt", 5, "", "", "a@b@c", P, 15},
        // Shift bytes: the unspecified type by the option, EZweb never.
        CountRow{"UnspecifiedWithoutShifts", -1, "ab" + Sj("漢字") + "cd", Sj("件") + "x", "me", P, 23},
        CountRow{"UnspecifiedWithShifts", -1, "ab" + Sj("漢字") + "cd", Sj("件") + "x", "me", S, 32},
        CountRow{"EZwebMailNeverShifts", 6, "ab" + Sj("漢字") + "cd", Sj("件") + "x", "me", S, 43},
        // The final line break's 2 only after a double-byte end.
        CountRow{"FinalBreakAfterKanji", 3, Sj("あ"), "", "", F, 4},
        CountRow{"FinalBreakAfterLineBreak", 3, Sj("あ") + "\r\n", "", "", F, 4},
        CountRow{"FinalBreakAfterAscii", 3, Sj("あ") + "a", "", "", F, 3},
        CountRow{"FinalBreakAfterHalfWidthKana", 3, "\xb6", "", "", F, 4},
        CountRow{"FinalBreakTrailByteLikeAscii", 3, Sj("ソ"), "", "", F, 4}),
    [](const auto& row) { return std::string(row.param.name); });

// Each file: its size + its full path's length + 20 where the type counts
// them so, the size alone for the unspecified type; read at every count.
TEST(AttachmentCount, PerTypeAndReadAtEveryCount)
{
    test::TempDir dir;
    const std::string path = dir.Write("a.bin", std::string(1000, 'z')).string();
    const std::vector<std::string> paths = {path};
    const auto count = [&](std::int32_t type, const std::vector<std::string>& files) {
        CountInputs in;
        in.type = type;
        in.options = {false, false, false};
        in.attachments = files;
        return CountMessageSize(in);
    };
    const auto withPath = static_cast<std::int32_t>(1000 + path.size() + 20);
    for (const std::int32_t type : {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}) {
        const bool withPaths = type == 0 || type == 4 || type == 8 || type == 9;
        EXPECT_EQ(count(type, paths).count, withPaths ? withPath : type == -1 ? 1000 : 0) << type;
    }
    EXPECT_EQ(count(0, {path, path}).count, 2 * withPath);
    std::ofstream(path, std::ios::binary | std::ios::app) << "more";
    EXPECT_EQ(count(-1, paths).count, 1004);

    // What cannot be read fails the count, naming it: a missing file, a
    // folder, a pipe (which must not hang the count), a device.
    const std::string fifo = (dir.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& odd : {(dir.path() / "gone").string(), dir.path().string(), fifo, std::string("/dev/zero")}) {
        const CountResult bad = count(0, {path, odd});
        EXPECT_FALSE(bad.ok) << odd;
        EXPECT_EQ(bad.failedPath, odd);
        EXPECT_EQ(bad.error, AttachmentProblem(odd)) << odd;
    }
    EXPECT_EQ(AttachmentProblem(fifo), fifo + Sj(" を開けません: 通常のファイルではありません"));
}

// The one-pass measurement must agree with the literal definition (convert
// to ISO-2022-JP and back, then count) for any bytes at all.
TEST(CountMessageSize, AgreesWithTheLiteralDefinitionOnAnyInput)
{
    std::mt19937 rng(7);
    const std::string alphabet[] = {"a", "\r\n", Sj("漢"), Sj("ソ"), "\xb6", "\xde", "\xdf", "\xca",
                                    "\x80", "\xa0", "\xfd", "\x81", "\x81\x7f", "\xf0\x40", "\x1b"};
    for (int round = 0; round < 3000; ++round) {
        std::string body;
        const auto pieces = rng() % 12;
        for (unsigned i = 0; i < pieces; ++i) {
            body += alphabet[rng() % std::size(alphabet)];
        }
        for (const bool ends : {false, true}) {
            CountOptions opt{.CountShiftBytes = true, .AssumeSingleByteAtEnds = ends, .CountFinalLineBreakShift = true};
            const std::string n = NormalizeText(body);
            const std::int32_t expected = static_cast<std::int32_t>(n.size()) + 3 * CountShiftSequences(n, ends)
                + (sjis::EndsWithDoubleByte(n) ? 2 : 0);
            ASSERT_EQ(Count(-1, body, "", "", opt, 0), expected) << ::testing::PrintToString(body);
        }
    }
}

} // namespace
} // namespace kitemail
