// Counting a message as each receiving service counts it; the shift
// sequences of a text are a walk (walks_test).

#include "accounting/counter.h"
#include "accounting/terminal_type.h"
#include "golden.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "temp_dir.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <map>
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
    in.type = TerminalTypeFromNumber(type);
    in.fixedLength = type == -1 ? fixLen : TerminalTypeRow(in.type).rules.fixedCount;
    in.options = options;
    const CountResult r = CountMessageSize(in);
    EXPECT_TRUE(r.ok);
    return r.count;
}

// P all off, E the ends taken as single-byte, F the final line break's
// shift, S shift bytes on the unspecified type, D the defaults (E, F).
CountOptions Options(const std::string& letter)
{
    static const std::map<std::string, CountOptions> options = {{"P", {false, false, false}},
                                                                {"E", {false, true, false}},
                                                                {"F", {false, false, true}},
                                                                {"S", {true, false, false}},
                                                                {"D", {}}};
    return options.at(letter);
}

// Rows: name, type, options, count, body, subject, sender.
class CountTable : public ::testing::TestWithParam<test::TableRow> {};

TEST_P(CountTable, CountsAsTheServiceDoes)
{
    const test::TableRow& r = GetParam();
    EXPECT_EQ(Count(r.Int(0), Sj(r[3]), Sj(r[4]), Sj(r[5]), Options(r[1]), 10), r.Int(2));
}

INSTANTIATE_TEST_SUITE_P(Rows, CountTable, ::testing::ValuesIn(test::ReadTable("count")), test::TableRowName());

// The terms as one line, as in count_terms.tsv.
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

class TermsTable : public ::testing::TestWithParam<test::TableRow> {};

TEST_P(TermsTable, TermsOfEachTypeSumToTheCount)
{
    const test::TableRow& r = GetParam();
    constexpr std::size_t kPath = 40;
    test::TempDir dir;
    const std::string stem = dir.path().string() + "/";
    ASSERT_LT(stem.size(), kPath);
    const std::vector<std::string> files = {
        dir.Write(std::string(kPath - stem.size(), 'f'), std::string(1000, 'z')).string()};
    const std::string body = r.Sjis(5), subject = r.Sjis(6), sender = r.Sjis(7);
    CountInputs in;
    in.body = body;
    in.subject = subject;
    in.sender = sender;
    in.type = TerminalTypeFromNumber(r.Int(0));
    in.fixedLength = TerminalTypeRow(in.type).rules.fixedCount;
    in.options = Options(r[1]);
    if (r[2] == "1") {
        in.attachments = files;
    }
    const CountResult c = CountMessageSize(in);
    ASSERT_TRUE(c.ok) << c.error;
    EXPECT_EQ(Describe(c.terms), r[3]);
    EXPECT_EQ(c.count, r.Int(4));
    EXPECT_EQ(c.terms.Sum(), c.count);
}

INSTANTIATE_TEST_SUITE_P(Rows, TermsTable, ::testing::ValuesIn(test::ReadTable("count_terms")), test::TableRowName());

// Each file counted on its own (each type's term: TermsTable), read anew at
// every count; what cannot be read fails the count.
TEST(AttachmentCount, EachFileReadAtEveryCountAndWhatCannotBeReadFails)
{
    test::TempDir dir;
    const std::string path = dir.Write("a.bin", std::string(1000, 'z')).string();
    const std::vector<std::string> paths = {path};
    const auto count = [&](std::int32_t type, const std::vector<std::string>& files) {
        CountInputs in;
        in.type = TerminalTypeFromNumber(type);
        in.options = {false, false, false};
        in.attachments = files;
        return CountMessageSize(in);
    };
    EXPECT_EQ(count(0, {path, path}).count, static_cast<std::int32_t>(2 * (1000 + path.size() + 20)));
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
