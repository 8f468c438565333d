// The count's terms against random messages, and how much of a body a first
// part of a split holds (the terms of single messages: counter_test).

#include "accounting/counter.h"
#include "accounting/splitter.h"
#include "accounting/terminal_type.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "temp_dir.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <random>

namespace kitemail::count_terms {
namespace {

<<<<<<< HEAD
// The terms as one line: "fixed F | sender S | subject BYTES+SHIFTBYTES (or
// 40 flat) | body BYTES | shifts N = BYTES | kana N +BYTES | final N", then
// " | file SIZE+path+20" (path: the file's full path was counted) per file.
std::string Describe(const MessageTerms& t)
{
    const auto n = [](auto v) { return std::to_string(v); };
    std::string s = "fixed " + n(t.fixed) + " | sender " + n(t.sender) + " | subject ";
    s += t.subjectFlat40 ? "40 flat" : n(t.subject - t.subjectText.shiftBytes) + "+" + n(t.subjectText.shiftBytes);
    s += " | body " + n(t.body.bytes) + " | shifts " + n(t.body.shifts) + " = " + n(t.body.shiftBytes) + " | kana "
        + n(t.body.widenedKana) + " +" + n(t.body.widenedBytes) + " | final " + n(t.finalBreak);
    for (const AttachmentMeasure& a : t.attachments) {
        s += " | file " + n(a.size) + (a.pathBytes == static_cast<std::int64_t>(a.path.size()) ? "+path" : "")
            + (a.extra > 0 ? "+" + n(a.extra) : "");
    }
    return s;
}

struct TermsRow {
    const char* name;
    std::int32_t type;
    std::string body, subject, sender;
    CountOptions options;
    bool attach; // one file of 1000 bytes
    std::string terms;
    std::int32_t count; // with a path of `kPath` bytes where the path counts
};

constexpr CountOptions P{false, false, false}, E{false, true, false}, F{false, false, true}, S{true, false, false};
const std::string kSender15(15, 's'), kS60(60, 's'), kKana = Sj("あいうえお"), kKana20 = Sj("あいうえおかきくけこさしすせそたちつてと");
constexpr std::int32_t kPath = 40;

class TermsTable : public ::testing::TestWithParam<TermsRow> {};

TEST_P(TermsTable, TermsOfEachTypeSumToTheCount)
{
    const TermsRow& r = GetParam();
    test::TempDir dir;
    const std::string stem = dir.path().string() + "/";
    ASSERT_LT(stem.size(), static_cast<std::size_t>(kPath));
    const std::vector<std::string> files = {
        dir.Write(std::string(kPath - stem.size(), 'f'), std::string(1000, 'z')).string()};
    CountInputs in;
    in.body = r.body;
    in.subject = r.subject;
    in.sender = r.sender;
    in.type = TerminalTypeFromNumber(r.type);
    in.fixedLength = TerminalTypeRow(in.type).rules.fixedCount;
    in.options = r.options;
    if (r.attach) {
        in.attachments = files;
    }
    const CountResult c = CountMessageSize(in);
    ASSERT_TRUE(c.ok) << c.error;
    EXPECT_EQ(Describe(c.terms), r.terms);
    EXPECT_EQ(c.count, r.count);
    EXPECT_EQ(c.terms.Sum(), c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TermsTable,
    ::testing::Values(
        // The worked example: 55 + 15 + 2 + 13 + one shift; the ends taken as
        // single-byte make two; a body ending in kana adds the final 2.
        TermsRow{"WorkedExample", 0, kKana + "abc", "Hi", kSender15, P, false,
                 "fixed 55 | sender 15 | subject 2+0 | body 13 | shifts 1 = 3 | kana 0 +0 | final 0", 88},
        TermsRow{"WorkedExampleEnds", 0, kKana + "abc", "Hi", kSender15, E, false,
                 "fixed 55 | sender 15 | subject 2+0 | body 13 | shifts 2 = 6 | kana 0 +0 | final 0", 91},
        TermsRow{"WorkedExampleEndingInKana", 0, kKana, "Hi", kSender15, F, false,
                 "fixed 55 | sender 15 | subject 2+0 | body 10 | shifts 0 = 0 | kana 0 +0 | final 2", 84},
        TermsRow{"LongMailFileWithPath", 0, "", "", "", P, true,
                 "fixed 55 | sender 0 | subject 0+0 | body 0 | shifts 0 = 0 | kana 0 +0 | final 0 | file 1000+path+20",
                 1115},
        TermsRow{"FreeRangeFlat40NoFile", 1, "", kKana20 + "x", kS60, P, true,
                 "fixed 55 | sender 55 | subject 40 flat | body 0 | shifts 0 = 0 | kana 0 +0 | final 0", 150},
        TermsRow{"SkyWalkerNoSubject", 2, "a" + kKana, "Hi", kS60, E, false,
                 "fixed 7 | sender 55 | subject 0+0 | body 11 | shifts 2 = 6 | kana 0 +0 | final 0", 79},
        // ka + voiced mark is one full-width ga; a + the mark stays two characters.
        TermsRow{"ImodeHalfWidthKana", 3, "\xb6\xde\xb1\xdex", "", kS60, F, false,
                 "fixed 0 | sender 0 | subject 0+0 | body 7 | shifts 1 = 0 | kana 4 +2 | final 0", 7},
        TermsRow{"HLinkFileWithPath", 4, Sj("漢"), Sj("件名"), "a@b", F, true,
                 "fixed 0 | sender 3 | subject 4+0 | body 2 | shifts 0 = 0 | kana 0 +0 | final 2 | file 1000+path+20",
                 1071},
        TermsRow{"CmailUpToAt", 5, "abc", "Hi", "me@example.jp", P, true,
                 "fixed 13 | sender 3 | subject 2+0 | body 3 | shifts 0 = 0 | kana 0 +0 | final 0", 21},
        TermsRow{"EZwebMailNoShiftBytes", 6, "a" + Sj("漢") + "\xb6", "x" + Sj("件"), "a@b", S, false,
                 "fixed 30 | sender 3 | subject 3+0 | body 5 | shifts 1 = 0 | kana 1 +1 | final 0", 41},
        TermsRow{"EZwebFinalBreak", 7, "a" + Sj("漢"), "", "a@b", F, false,
                 "fixed 30 | sender 3 | subject 0+0 | body 3 | shifts 1 = 0 | kana 0 +0 | final 2", 38},
        TermsRow{"SuperMailSubject40WithShift", 8, "", "x" + kKana20.substr(2), "", P, true,
                 "fixed 48 | sender 0 | subject 39+3 | body 0 | shifts 0 = 0 | kana 0 +0 | final 0 | file 1000+path+20",
                 1150},
        TermsRow{"FomaFileNoSender", 9, "\xb6", "Hi", kS60, P, true,
                 "fixed 0 | sender 0 | subject 0+0 | body 2 | shifts 0 = 0 | kana 1 +1 | final 0 | file 1000+path+20",
                 1062},
        // The unspecified type: shift bytes with 3Byte only; file sizes alone.
        TermsRow{"UnspecifiedWith3Byte", -1, "ab" + Sj("漢"), Sj("件") + "x", "me", S, true,
                 "fixed 55 | sender 2 | subject 3+3 | body 4 | shifts 1 = 3 | kana 0 +0 | final 0 | file 1000", 1070},
        TermsRow{"UnspecifiedWithout3Byte", -1, "ab" + Sj("漢"), Sj("件") + "x", "me", P, false,
                 "fixed 55 | sender 2 | subject 3+0 | body 4 | shifts 1 = 0 | kana 0 +0 | final 0", 64}),
    [](const auto& row) { return std::string(row.param.name); });

=======
>>>>>>> ratio-unit
// Characters of a body as given: a half-width kana with the sound mark it
// absorbs is one; the cut may fall only between characters.
std::vector<std::size_t> Boundaries(std::string_view body)
{
    std::vector<std::size_t> b = {0};
    for (std::size_t i = 0; i < body.size();) {
        if (static_cast<unsigned char>(body[i]) >= 0xA1 && static_cast<unsigned char>(body[i]) <= 0xDF) {
            (void)HankakuToJis(body, i);
        } else {
            i += static_cast<unsigned char>(body[i]) >= 0x81 ? 2 : 1;
        }
        b.push_back(std::min(i, body.size()));
    }
    return b;
}

// Random messages for every type and option: the terms sum to the count, the
// texts' terms are those of the text converted there and back, and the body
// bytes that fit are the longest beginning the cut search would take.
TEST(CountTerms, SumToTheCountAndFitsIsTheLongestBeginningThatFits)
{
    test::TempDir dir;
    const std::vector<std::string> files = {dir.Write("a.bin", std::string(300, 'z')).string(),
                                            dir.Write("b.jpg", "").string()};
    std::mt19937 rng(25);
    const std::string alphabet[] = {"a", "\r\n", Sj("漢"), Sj("ソ"), "\xb6", "\xde", "\xdf", "\xca", "\xb1", "\xa4"};
    const auto text = [&](unsigned most) {
        std::string s;
        for (auto i = rng() % (most + 1); i > 0; --i) {
            s += alphabet[rng() % std::size(alphabet)];
        }
        return s;
    };
    for (int round = 0; round < 4000; ++round) {
        const TerminalType type = TerminalTypeFromNumber(static_cast<std::int32_t>(rng() % 11) - 1);
        const std::string body = text(40), subject = text(25), sender = text(8) + "@" + text(3);
        CountInputs in;
        in.body = body;
        in.subject = subject;
        in.sender = sender;
        in.type = type;
        in.fixedLength = static_cast<std::int32_t>(rng() % 60);
        in.options = {(rng() & 1) != 0, (rng() & 2) != 0, (rng() & 4) != 0};
        in.attachments = std::span(files).first(rng() % 3);
        const CountResult c = CountMessageSize(in);
        ASSERT_TRUE(c.ok);
        ASSERT_EQ(c.terms.Sum(), c.count);
        for (const auto& [given, measured] : {std::pair{body, c.terms.body}, std::pair{subject, c.terms.subjectText}}) {
            const std::string n = NormalizeText(given);
            ASSERT_EQ(measured.bytes, static_cast<std::int64_t>(n.size()));
            ASSERT_EQ(measured.bytes - measured.widenedBytes, static_cast<std::int64_t>(given.size()));
            ASSERT_EQ(measured.shifts, CountShiftSequences(n, in.options.AssumeSingleByteAtEnds));
        }

        SplitInputs split;
        split.body = body;
        split.subject = subject;
        split.from = sender;
        split.type = type;
        split.fixedLength = in.fixedLength;
        split.maxLength = static_cast<std::int32_t>(rng() % 160);
        split.countShiftBytes = in.options.CountShiftBytes;
        split.assumeSingleByteAtEnds = in.options.AssumeSingleByteAtEnds;
        const std::size_t fits = BodyBytesThatFit(split);
        // The search weighs a cut before a double-byte character also as
        // the length that ends on its lead byte.
        const std::string n = NormalizeText(body), nSubject = NormalizeText(subject);
        const auto fitting = [&](std::size_t bytes) {
            const std::size_t k = NormalizeText(body.substr(0, bytes)).size();
            const auto under = [&](std::size_t len) { return TrialPartSize(split, n.substr(0, len), nSubject) < split.maxLength; };
            return under(k) || (k < n.size() && sjis::ClassAt(n, k) == sjis::ByteClass::Lead && under(k + 1));
        };
        const std::vector<std::size_t> cuts = Boundaries(body);
        SCOPED_TRACE(::testing::PrintToString(body) + " fits " + std::to_string(fits));
        ASSERT_TRUE(std::ranges::find(cuts, fits) != cuts.end());
        ASSERT_TRUE(fits == 0 || fitting(fits));
        for (const std::size_t longer : cuts) {
            ASSERT_TRUE(longer <= fits || !fitting(longer)) << longer;
        }
    }
}

} // namespace
} // namespace kitemail::count_terms
