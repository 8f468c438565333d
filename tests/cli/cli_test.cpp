// kitemail-cli run as a user runs it: arguments, files, standard input and
// output, exit codes.

#include "mail/jis.h"
#include "platform/text_codec.h"
#include "process_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "kitemail-cli-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const fs::path& path() const { return path_; }
    // Writes a file under the folder and returns its full path.
    fs::path Write(const std::string& name, const std::string& bytes) const
    {
        const fs::path p = path_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

private:
    fs::path path_;
};

// Every run gets a data folder of its own through KITEMAIL_HOME, so that no
// test reads the settings of the user or of the build folder.
ProcessResult Cli(const std::vector<std::string>& args, const fs::path& home, ProcessOptions options = {})
{
    options.setEnv.emplace_back("KITEMAIL_HOME", home.string());
    return RunCli(args, options);
}

// --- the tool's frame -------------------------------------------------------

TEST(CliFrame, HelpOfTheToolListsEveryCommand)
{
    TempDir home;
    for (const char* help : {"--help", "-h", "help"}) {
        const ProcessResult r = Cli({help}, home.path());
        EXPECT_EQ(r.exitCode, 0) << help;
        EXPECT_NE(r.out.find("Usage: kitemail-cli [--data-dir DIR] COMMAND"), std::string::npos) << help;
        EXPECT_NE(r.out.find("convert"), std::string::npos) << help;
        EXPECT_NE(r.out.find("count"), std::string::npos) << help;
        EXPECT_EQ(r.err, "") << help;
    }
}

TEST(CliFrame, EachCommandHasItsOwnHelp)
{
    TempDir home;
    const std::vector<std::vector<std::string>> asks = {
        {"help", "convert"}, {"count", "--type", "0", "-h"}, {"--data-dir", home.path().string(), "count", "--help"}};
    for (const auto& args : asks) {
        const ProcessResult r = Cli(args, home.path());
        const std::string command = args[0] == "help" ? args[1] : (args[0] == "--data-dir" ? args[2] : args[0]);
        EXPECT_EQ(r.exitCode, 0) << command;
        EXPECT_EQ(r.out.rfind("Usage: kitemail-cli", 0), 0u) << r.out;
        EXPECT_NE(r.out.find(command), std::string::npos) << r.out;
    }
}

struct BadArguments {
    const char* name;
    std::vector<std::string> args;
    const char* message; // part of what stderr must say
};

// Rows show as their names in test listings.
void PrintTo(const BadArguments& c, std::ostream* os)
{
    *os << c.name;
}

class CliBadArguments : public ::testing::TestWithParam<BadArguments> {};

TEST_P(CliBadArguments, ExitTwoWithAMessageAndNoOutput)
{
    TempDir home;
    const ProcessResult r = Cli(GetParam().args, home.path());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliBadArguments,
    ::testing::Values(
        BadArguments{"NoCommand", {}, "no command given"},
        BadArguments{"UnknownCommand", {"send-all"}, "unknown command 'send-all'"},
        BadArguments{"HelpForUnknownCommand", {"help", "frobnicate"}, "unknown command 'frobnicate'"},
        BadArguments{"UnknownGlobalOption", {"--verbose", "count", "--type", "0"}, "unknown option '--verbose'"},
        BadArguments{"DataDirWithoutFolder", {"--data-dir"}, "--data-dir needs a folder"},
        BadArguments{"ConvertWithoutDirection", {"convert"}, "--to-jis or --to-sjis"},
        BadArguments{"ConvertBothDirections", {"convert", "--to-jis", "--to-sjis"}, "only one of"},
        BadArguments{"ConvertStrayArgument", {"convert", "--to-jis", "file.txt"}, "unexpected argument 'file.txt'"},
        BadArguments{"CountWithoutType", {"count", "--subject", "x"}, "--type is required"},
        BadArguments{"CountTypeTooHigh", {"count", "--type", "10"}, "not 10"},
        BadArguments{"CountTypeOverflows", {"count", "--type", "99999999999"}, "not a whole number"},
        BadArguments{"CountTypeWithoutValue", {"count", "--type"}, "--type needs a value"},
        BadArguments{"CountUnknownOption", {"count", "--type", "0", "--subjet=x"}, "unknown option '--subjet'"},
        BadArguments{"CountMissingBodyFile", {"count", "--type", "0", "--body-file", "/nonexistent/body.txt"},
                     "cannot open '/nonexistent/body.txt'"},
        BadArguments{"CountEmptyAttachment", {"count", "--type", "0", "--attach="}, "--attach needs a file"}),
    [](const auto& row) { return std::string(row.param.name); });

// --- convert ----------------------------------------------------------------

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (const int v : values) {
        s.push_back(static_cast<char>(v));
    }
    return s;
}

TEST(CliConvert, ToJisGivesTheMailBytes)
{
    TempDir home;
    struct Case {
        std::string sjis;
        std::string jis;
    };
    const std::vector<Case> cases = {
        {Bytes({0x8A, 0xBF}), Bytes({0x1B, 0x24, 0x42, 0x34, 0x41})}, // no return escape at the end
        {Bytes({0x8A, 0xBF, 0x0D, 0x0A}), Bytes({0x1B, 0x24, 0x42, 0x34, 0x41, 0x1B, 0x28, 0x4A, 0x0D, 0x0A})},
        {Bytes({0xB6, 0xDE}), Bytes({0x1B, 0x24, 0x42, 0x25, 0x2C})}, // half-width ka + voiced mark: ga
        {"", ""},
    };
    for (const Case& c : cases) {
        ProcessOptions o;
        o.input = c.sjis;
        const ProcessResult r = Cli({"convert", "--to-jis"}, home.path(), o);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, c.jis);
        EXPECT_EQ(r.err, "");
    }
}

TEST(CliConvert, ToSjisAcceptsEveryReturnEscape)
{
    TempDir home;
    ProcessOptions o;
    o.input = Bytes({0x1B, 0x24, 0x42, 0x34, 0x41, 0x1B, 0x28, 0x42, 'a', 0x1B, 0x24, 0x42, 0x25, 0x2C, 0x1B, 0x28,
                     0x4A, '\r', '\n'});
    const ProcessResult r = Cli({"convert", "--to-sjis"}, home.path(), o);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, Bytes({0x8A, 0xBF, 'a', 0x83, 0x4B, '\r', '\n'}));
}

// A few megabytes of everything the converter meets: ASCII runs, line
// breaks, double-byte characters (also in long runs), half-width kana with
// and without sound marks, and bytes outside the code page.
std::string MixedSjis(std::size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    const auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::string s;
    while (s.size() < size) {
        const int kind = pick(0, 99);
        if (kind < 35) { // double-byte character
            const int lead = pick(0, 1) ? pick(0x81, 0x9F) : pick(0xE0, 0xFC);
            int trail = pick(0x40, 0xFC);
            if (trail == 0x7F) {
                trail = 0x80;
            }
            s += Bytes({lead, trail});
        } else if (kind < 60) {
            s.push_back(static_cast<char>(pick(0x20, 0x7E)));
        } else if (kind < 66) {
            s += "\r\n";
        } else if (kind < 78) { // half-width kana, often with a sound mark
            s.push_back(static_cast<char>(pick(0xA1, 0xDF)));
            if (pick(0, 2) == 0) {
                s.push_back(static_cast<char>(pick(0, 1) ? 0xDE : 0xDF));
            }
        } else if (kind < 80) { // a long run of one kind
            const bool doubleByte = pick(0, 1) == 1;
            for (int n = pick(100, 3000); n > 0; --n) {
                s += doubleByte ? Bytes({0x88, pick(0x9F, 0xFC)}) : std::string(1, 'x');
            }
        } else if (kind < 82) { // bytes the code page does not use, ESC among them
            s.push_back(static_cast<char>(std::vector<int>{0x80, 0xA0, 0xFD, 0xFE, 0xFF, 0x1B, 0x00}[
                static_cast<std::size_t>(pick(0, 6))]));
        } else {
            s += Bytes({0x82, pick(0x9F, 0xF1)}); // hiragana
        }
    }
    return s;
}

// ISO-2022-JP as it arrives from elsewhere: every kind of escape, pairs,
// stray bytes, and a truncated escape at the very end.
std::string MixedJis(std::size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    const auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const std::vector<std::string> escapes = {"\x1b$B", "\x1b(J", "\x1b(B", "\x1b$@", "\x1b(I", "\x1bxy"};
    std::string s;
    while (s.size() < size) {
        const int kind = pick(0, 99);
        if (kind < 15) {
            s += escapes[static_cast<std::size_t>(pick(0, 5))];
        } else if (kind < 70) {
            s += Bytes({pick(0x21, 0x7E), pick(0x21, 0x7E)});
        } else if (kind < 80) {
            s += "\r\n";
        } else {
            s.push_back(static_cast<char>(pick(0, 255)));
        }
    }
    return s + "\x1b$";
}

struct Sizes {
    std::size_t input;
    std::vector<std::string> bufferSizes;
};

TEST(CliConvert, LargeInputIsByteIdenticalToConvertingItWhole)
{
    TempDir home;
    // Tiny buffers cut everywhere; the default one streams megabytes.
    const std::vector<Sizes> plans = {{150'000, {"16", "17", "19", "1000"}}, {4'000'000, {"65536", ""}}};
    for (const Sizes& plan : plans) {
        const std::string sjis = MixedSjis(plan.input, 7);
        const std::string jis = MixedJis(plan.input, 11);
        const std::string wantJis = SjisToJis(sjis);
        const std::string wantSjis = JisToSjis(jis);
        for (const std::string& buffer : plan.bufferSizes) {
            std::vector<std::string> toJis = {"convert", "--to-jis"};
            std::vector<std::string> toSjis = {"convert", "--to-sjis"};
            if (!buffer.empty()) {
                toJis.insert(toJis.end(), {"--buffer-size", buffer});
                toSjis.insert(toSjis.end(), {"--buffer-size", buffer});
            }
            ProcessOptions o;
            o.input = sjis;
            const ProcessResult a = Cli(toJis, home.path(), o);
            EXPECT_EQ(a.exitCode, 0) << a.err;
            EXPECT_TRUE(a.out == wantJis) << "to-jis differs, buffer " << buffer << ", " << a.out.size() << " vs "
                                          << wantJis.size() << " bytes";
            o.input = jis;
            const ProcessResult b = Cli(toSjis, home.path(), o);
            EXPECT_EQ(b.exitCode, 0) << b.err;
            EXPECT_TRUE(b.out == wantSjis) << "to-sjis differs, buffer " << buffer << ", " << b.out.size() << " vs "
                                           << wantSjis.size() << " bytes";
        }
    }
}

TEST(CliConvert, ThereAndBackKeepsTextWithoutHalfWidthKana)
{
    TempDir home;
    const std::string text = Sj("今日は、東京駅で10時に待ち合わせ。OK?\r\n全角だけの行\r\nascii only\r\n①②㈱髙﨑");
    ProcessOptions o;
    o.input = text;
    const ProcessResult there = Cli({"convert", "--to-jis"}, home.path(), o);
    ASSERT_EQ(there.exitCode, 0);
    EXPECT_EQ(there.out.find_first_of("\x80\xff"), std::string::npos) << "7-bit output";
    o.input = there.out;
    const ProcessResult back = Cli({"convert", "--to-sjis"}, home.path(), o);
    EXPECT_EQ(back.exitCode, 0);
    EXPECT_EQ(back.out, text);
}

// --- count ------------------------------------------------------------------

// A settings file as the program writes it: Shift_JIS, CR LF.
std::string Ini(const std::string& utf8)
{
    std::string crlf;
    for (const char c : utf8) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    return Sj(crlf);
}

const std::string kFiveHiraganaAbc = "あいうえおabc";

struct CountCase {
    const char* name;
    std::string ini;                // Kiteml.ini in the data folder; empty: no file
    std::string body;               // UTF-8 body file; empty: no --body-file
    std::vector<std::string> args;  // after "count"
    std::string output;
};

void PrintTo(const CountCase& c, std::ostream* os)
{
    *os << c.name;
}

class CliCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(CliCount, PrintsCountAndLimit)
{
    const CountCase& c = GetParam();
    TempDir data;
    TempDir home;
    if (!c.ini.empty()) {
        data.Write("Kiteml.ini", Ini(c.ini));
    }
    std::vector<std::string> args = {"--data-dir", data.path().string(), "count"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    if (!c.body.empty()) {
        args.insert(args.end(), {"--body-file", data.Write("body.txt", c.body).string()});
    }
    const ProcessResult r = Cli(args, home.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.output);
    EXPECT_EQ(r.err, "");
}

// Counts worked out by hand from the counting rules.
INSTANTIATE_TEST_SUITE_P(
    Cases, CliCount,
    ::testing::Values(
        // F 55 + sender 15 + subject 2 + body 13 + 3 x 2 shifts (spaces assumed at both ends)
        CountCase{"DefaultsLongMail", "", kFiveHiraganaAbc,
                  {"--type", "0", "--subject", "Hi", "--sender", "123456789012345"}, "91 / 6000\n"},
        // The same with options 11 and 12 off: one shift only.
        CountCase{"OptionsOffLongMail", "[Configuration]\n11=0\n12=0\n", kFiveHiraganaAbc,
                  {"--type", "0", "--subject", "Hi", "--sender", "123456789012345"}, "88 / 6000\n"},
        // Sender from the list ([MyAddress] item 0, 13 bytes), limit from [Length].
        CountCase{"SenderFromTheList", "[MyAddress]\nHow=2\n0=me@example.jp\n1=second@example.jp\n[Length]\n6=7777\n",
                  "abc", {"--type", "6"}, "46 / 7777\n"},
        CountCase{"GivenSenderWins", "[MyAddress]\nHow=1\n0=me@example.jp\n", "abc",
                  {"--type", "6", "--sender", "a@b"}, "36 / 10000\n"},
        // Unspecified type: MaxLen/FixLen, shifts only with 3Byte.
        CountCase{"UnspecifiedWithShiftBytes", "[Configuration]\nMaxLen=1000\nFixLen=20\n3Byte=1\n", "漢a",
                  {"--type", "-1", "--json"}, "{\"count\":29,\"limit\":1000,\"over\":false,\"type\":-1}\n"},
        CountCase{"UnspecifiedWithoutShiftBytes", "[Configuration]\nMaxLen=1000\nFixLen=20\n", "漢a",
                  {"--type", "-1"}, "23 / 1000\n"},
        CountCase{"MaxLenUnderFiftyFallsBack", "[Configuration]\nMaxLen=40\nFixLen=5\n", "", {"--type", "-1"},
                  "55 / 384\n"},
        // A body ending with a double-byte character costs 2 more (option 12).
        CountCase{"FinalDoubleByte", "", "ab漢", {"--type", "3"}, "6 / 500\n"},
        // Half-width kana count as their full-width forms, ka + voiced mark as one.
        CountCase{"HalfWidthKana", "[Configuration]\n12=0\n", "ｶﾞｱﾞ", {"--type", "3"}, "6 / 500\n"},
        // Every line break counts as CR LF.
        CountCase{"LineBreaks", "", "a\nb\rc\r\n\n", {"--type", "3"}, "11 / 500\n"},
        CountCase{"ByteOrderMarkIgnored", "", "\xEF\xBB\xBF" "abc", {"--type", "3"}, "3 / 500\n"},
        // Characters typed by Linux input methods in their Unicode forms.
        CountCase{"WaveDashAndMinus", "[Configuration]\n12=0\n", "〜−", {"--type", "3"}, "4 / 500\n"},
        CountCase{"CmailSenderUpToTheAt", "", "", {"--type", "5", "--sender", "abc@example.jp"}, "17 / 100\n"},
        CountCase{"FomaLimitIsSlotNine", "[Length]\n8=1\n9=4321\n", "", {"--type", "9"}, "0 / 4321\n"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CliCountOver, JsonSaysOverOnlyPastTheLimit)
{
    TempDir data;
    TempDir home;
    // Cmail: F 13, limit 100; an ASCII body of n bytes counts 13 + n.
    for (const auto& [bytes, over] : std::vector<std::pair<std::size_t, bool>>{{87, false}, {88, true}}) {
        const fs::path body = data.Write("body.txt", std::string(bytes, 'a'));
        const ProcessResult r =
            Cli({"--data-dir", data.path().string(), "count", "--type", "5", "--body-file", body.string(), "--json"},
                home.path());
        EXPECT_EQ(r.exitCode, 0) << "counted, even when over";
        EXPECT_EQ(r.out, "{\"count\":" + std::to_string(13 + bytes) + ",\"limit\":100,\"over\":" +
                             (over ? "true" : "false") + ",\"type\":5}\n");
    }
}

TEST(CliCountInput, SjisBytesCountLikeTheirUtf8Text)
{
    TempDir data;
    TempDir home;
    const fs::path utf8Body = data.Write("utf8.txt", "漢字とｶﾅ\nabc");
    const fs::path sjisBody = data.Write("sjis.txt", Sj("漢字とｶﾅ\nabc"));
    const std::string dir = data.path().string();
    const ProcessResult fromUtf8 = Cli({"--data-dir", dir, "count", "--type", "0", "--body-file", utf8Body.string(),
                                        "--subject", "件名", "--sender", "送信者@example.jp"},
                                       home.path());
    const ProcessResult fromSjis = Cli({"--data-dir", dir, "count", "--type", "0", "--body-file", sjisBody.string(),
                                        "--subject", Sj("件名"), "--sender", Sj("送信者@example.jp"), "--sjis"},
                                       home.path());
    EXPECT_EQ(fromUtf8.exitCode, 0) << fromUtf8.err;
    EXPECT_EQ(fromSjis.exitCode, 0) << fromSjis.err;
    EXPECT_EQ(fromUtf8.out, fromSjis.out);
    EXPECT_NE(fromUtf8.out, "");
}

TEST(CliCountInput, BodyFromStandardInput)
{
    TempDir data;
    ProcessOptions o;
    o.input = "a\nb";
    const ProcessResult r =
        Cli({"--data-dir", data.path().string(), "count", "--type", "3", "--body-file", "-"}, data.path(), o);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "4 / 500\n");
}

TEST(CliCountInput, UnmappableCharacterIsNamed)
{
    TempDir data;
    const fs::path body = data.Write("body.txt", "ok 😀 then more text 😀");
    const std::string dir = data.path().string();
    const std::vector<std::vector<std::string>> runs = {
        {"--data-dir", dir, "count", "--type", "3", "--body-file", body.string()},
        {"--data-dir", dir, "count", "--type", "0", "--subject", "件名😀"},
        {"--data-dir", dir, "count", "--type", "0", "--sender", "😀@example.jp"},
    };
    for (const auto& args : runs) {
        const ProcessResult r = Cli(args, data.path());
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("U+1F600"), std::string::npos) << r.err;
        // Only the character at fault, once, not the ones after it.
        EXPECT_EQ(r.err.find("U+1F600"), r.err.rfind("U+1F600")) << r.err;
        EXPECT_EQ(r.err.find("U+0020"), std::string::npos) << r.err;
    }
}

TEST(CliCountInput, InvalidUtf8IsRefused)
{
    TempDir data;
    const fs::path body = data.Write("body.txt", Sj("漢字"));
    const ProcessResult r =
        Cli({"--data-dir", data.path().string(), "count", "--type", "3", "--body-file", body.string()}, data.path());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("not valid UTF-8"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--sjis"), std::string::npos) << r.err;
}

// --- attachments --------------------------------------------------------------

TEST(CliCountAttachments, SizeAndFullPathCountOnTheTypesThatTakeThem)
{
    TempDir data;
    const fs::path file = data.Write("photo.jpg", std::string(1000, 'x'));
    const std::string dir = data.path().string();
    const auto count = [&](const std::string& type, bool attach) {
        std::vector<std::string> args = {"--data-dir", dir, "count", "--type", type, "--json"};
        if (attach) {
            args.insert(args.end(), {"--attach", "photo.jpg"}); // relative: counted with its full path
        }
        ProcessOptions o;
        o.workingDir = dir;
        const ProcessResult r = Cli(args, data.path(), o);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::size_t at = r.out.find("\"count\":");
        return std::stol(r.out.substr(at + 8));
    };
    const long fullPath = static_cast<long>(fs::canonical(file).string().size());
    for (const char* type : {"0", "4", "8", "9"}) {
        EXPECT_EQ(count(type, true) - count(type, false), 1000 + fullPath + 20) << "type " << type;
    }
    EXPECT_EQ(count("-1", true) - count("-1", false), 1000) << "size alone";
    for (const char* type : {"1", "2", "3", "5", "6", "7"}) {
        EXPECT_EQ(count(type, true), count(type, false)) << "type " << type;
    }
}

TEST(CliCountAttachments, UnreadableAttachmentFailsTheCount)
{
    TempDir data;
    const std::string dir = data.path().string();
    const fs::path folder = data.path() / "a-folder";
    fs::create_directory(folder);
    for (const fs::path& bad : {data.path() / "missing.jpg", folder}) {
        const ProcessResult r = Cli({"--data-dir", dir, "count", "--type", "0", "--attach", bad.string()},
                                    data.path());
        EXPECT_EQ(r.exitCode, 2) << bad;
        EXPECT_EQ(r.out, "") << "no number for a failed count";
        EXPECT_NE(r.err.find(bad.string()), std::string::npos) << r.err;
    }
}

// --- where the settings come from -------------------------------------------

TEST(CliDataDir, EnvironmentThenOption)
{
    TempDir fromEnv;
    TempDir fromOption;
    fromEnv.Write("Kiteml.ini", Ini("[Length]\n3=1234\n"));
    fromOption.Write("Kiteml.ini", Ini("[Length]\n3=4321\n"));
    EXPECT_EQ(Cli({"count", "--type", "3"}, fromEnv.path()).out, "0 / 1234\n");
    EXPECT_EQ(Cli({"--data-dir", fromOption.path().string(), "count", "--type", "3"}, fromEnv.path()).out,
              "0 / 4321\n");
    EXPECT_EQ(Cli({"--data-dir=" + fromOption.path().string(), "count", "--type", "3"}, fromEnv.path()).out,
              "0 / 4321\n");
}

} // namespace
} // namespace kitemail::test
