// Counting a message as each receiving service counts it.

#include "accounting/counter.h"
#include "accounting/terminal_type.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace kitemail {
namespace {

CountOptions Plain()
{
    return {.CountShiftBytes = false, .AssumeSingleByteAtEnds = false, .CountFinalLineBreakShift = false};
}

std::int32_t Count(std::int32_t type, std::string_view body, std::string_view subject = "",
                   std::string_view sender = "", CountOptions options = Plain(), std::int32_t fixLen = 55)
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
    EXPECT_EQ(CountShiftSequences("", false), 0);
    EXPECT_EQ(CountShiftSequences("", true), 0);
    EXPECT_EQ(CountShiftSequences("abc", true), 0);
    EXPECT_EQ(CountShiftSequences(kana, false), 0);
    EXPECT_EQ(CountShiftSequences(kana, true), 2);
    EXPECT_EQ(CountShiftSequences("a" + kana + "b" + kana, false), 3);
    EXPECT_EQ(CountShiftSequences("a" + kana + "b" + kana, true), 4);
    // A trail byte in the ASCII range is not a character of its own.
    EXPECT_EQ(CountShiftSequences(Sj("ソ") + "a", false), 1);
    EXPECT_EQ(CountShiftSequences("a\x83", false), 0); // dangling lead: one odd char, no crash
}

TEST(CountMessageSize, WorkedExample)
{
    const std::string body = Sj("あいうえお") + "abc";
    const std::string sender(15, 's');
    EXPECT_EQ(Count(0, body, "Hi", sender), 88);
    CountOptions ends = Plain();
    ends.AssumeSingleByteAtEnds = true;
    EXPECT_EQ(Count(0, body, "Hi", sender, ends), 91);
    CountOptions finalBreak = Plain();
    finalBreak.CountFinalLineBreakShift = true;
    EXPECT_EQ(Count(0, body, "Hi", sender, finalBreak), 88);
    EXPECT_EQ(Count(0, Sj("あいうえお"), "Hi", sender, finalBreak), 55 + 15 + 2 + 10 + 2);
}

TEST(CountMessageSize, EmptyMessageOnImodeIsZero)
{
    EXPECT_EQ(Count(3, ""), 0);
    EXPECT_EQ(Count(3, "", "", "", CountOptions{}), 0);
}

TEST(CountMessageSize, OneFullWidthCharacter)
{
    const std::string a = Sj("あ");
    EXPECT_EQ(Count(0, a), 57);
    CountOptions ends = Plain();
    ends.AssumeSingleByteAtEnds = true;
    EXPECT_EQ(Count(0, a, "", "", ends), 63);
    EXPECT_EQ(Count(0, a, "", "", CountOptions{}), 65); // defaults: both options on
}

TEST(CountMessageSize, HalfWidthKanaCountAsTheirFullWidthForms)
{
    EXPECT_EQ(Count(3, "\xb6"), 2);          // ka
    EXPECT_EQ(Count(3, "\xb6\xde"), 2);      // ka + voiced mark = ga
    EXPECT_EQ(Count(3, "\xb1\xde"), 4);      // a + voiced mark stays two
    EXPECT_EQ(Count(3, "\xca\xdf"), 2);      // pa
    EXPECT_EQ(Count(0, "x\xb6\xdey"), 55 + 4 + 6); // shifts around the merged kana
}

TEST(CountMessageSize, SubjectOverFortyBytesCountsFlatForty)
{
    const std::string kana20 = Sj("あいうえおかきくけこさしすせそたちつてと"); // 40 bytes
    for (const std::int32_t type : {0, 1, 8}) {
        const std::int32_t base = Count(type, "");
        EXPECT_EQ(Count(type, "", std::string(41, 'x')) - base, 40) << type;
        EXPECT_EQ(Count(type, "", kana20 + "x") - base, 40) << type;
        EXPECT_EQ(Count(type, "", kana20) - base, 40) << type; // no shift counted when the ends are not
        EXPECT_EQ(Count(type, "", "x" + kana20.substr(2)) - base, 39 + 3) << type;
    }
    EXPECT_EQ(Count(2, "", std::string(41, 'x')), Count(2, "")); // no subject term at all
}

TEST(CountMessageSize, SenderTermsPerType)
{
    const std::string sender60(60, 's');
    for (const std::int32_t type : {0, 1, 2, 8}) {
        EXPECT_EQ(Count(type, "", "", sender60) - Count(type, ""), 55) << type;
    }
    for (const std::int32_t type : {-1, 4, 6, 7}) {
        EXPECT_EQ(Count(type, "", "", sender60) - Count(type, ""), 60) << type;
    }
    for (const std::int32_t type : {3, 9}) {
        EXPECT_EQ(Count(type, "", "", sender60), 0) << type;
    }
    EXPECT_EQ(Count(5, "", "", "abc@example.jp"), 13 + 4);
    EXPECT_EQ(Count(5, "", "", "abc"), 13);
    EXPECT_EQ(Count(5, "", "", "a@b@c"), 13 + 2);
}

TEST(CountMessageSize, ShiftBytesOnUnspecifiedTypeFollowTheOption)
{
    const std::string body = "ab" + Sj("漢字") + "cd";
    const std::string subject = Sj("件") + "x";
    EXPECT_EQ(Count(-1, body, subject, "me", Plain(), 10), 10 + 2 + 3 + 8);
    CountOptions shifts = Plain();
    shifts.CountShiftBytes = true;
    EXPECT_EQ(Count(-1, body, subject, "me", shifts, 10), 10 + 2 + (3 + 3) + (8 + 6));
    // Types 6 and 7 never count shifts.
    EXPECT_EQ(Count(6, body, subject, "me", shifts), 30 + 2 + 3 + 8);
}

TEST(CountMessageSize, FinalLineBreakShiftOnlyAfterADoubleByteEnd)
{
    CountOptions opt = Plain();
    opt.CountFinalLineBreakShift = true;
    EXPECT_EQ(Count(3, Sj("あ"), "", "", opt), 4);
    EXPECT_EQ(Count(3, Sj("あ") + "\r\n", "", "", opt), 4);
    EXPECT_EQ(Count(3, Sj("あ") + "a", "", "", opt), 3);
    EXPECT_EQ(Count(3, "\xb6", "", "", opt), 4);       // half-width kana becomes double-byte
    EXPECT_EQ(Count(3, Sj("ソ"), "", "", opt), 4);      // trail byte 0x5C looks like ASCII
}

class AttachmentCount : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path() / ("kitemail-count-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        // A 30-byte path: the directory part is padded to fit.
        path_ = dir_ / "a.bin";
        std::ofstream(path_, std::ios::binary) << std::string(1000, 'z');
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    CountResult CountWith(std::int32_t type, std::vector<std::string> paths)
    {
        attachments_ = std::move(paths);
        CountInputs in;
        in.type = type;
        in.fixedLength = 0;
        in.options = Plain();
        in.attachments = attachments_;
        return CountMessageSize(in);
    }

    std::filesystem::path dir_;
    std::filesystem::path path_;
    std::vector<std::string> attachments_;
};

TEST_F(AttachmentCount, AddsSizePathAndTwentyWhereTheTypeCountsThem)
{
    const std::string path = path_.string();
    const auto withPath = static_cast<std::int32_t>(1000 + path.size() + 20);
    for (const std::int32_t type : {0, 4, 8, 9}) {
        EXPECT_EQ(CountWith(type, {path}).count, withPath) << type;
    }
    EXPECT_EQ(CountWith(-1, {path}).count, 1000);
    for (const std::int32_t type : {1, 2, 3, 5, 6, 7}) {
        EXPECT_EQ(CountWith(type, {path}).count, 0) << type;
    }
    EXPECT_EQ(CountWith(0, {path, path}).count, 2 * withPath);
}

TEST_F(AttachmentCount, ReadsTheSizeAtEveryCount)
{
    const std::string path = path_.string();
    EXPECT_EQ(CountWith(-1, {path}).count, 1000);
    std::ofstream(path_, std::ios::binary | std::ios::app) << "more";
    EXPECT_EQ(CountWith(-1, {path}).count, 1004);
}

TEST_F(AttachmentCount, AnUnopenableFileFailsTheCount)
{
    const std::string missing = (dir_ / "gone.bin").string();
    const CountResult r = CountWith(0, {path_.string(), missing});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedPath, missing);
    EXPECT_NE(r.error.find(missing), std::string::npos);
    // A folder, a pipe or a device is no attachment; a pipe must not hang the count.
    const std::string fifo = (dir_ / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& odd : {dir_.string(), fifo, std::string("/dev/zero")}) {
        const CountResult bad = CountWith(-1, {odd});
        EXPECT_FALSE(bad.ok) << odd;
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
