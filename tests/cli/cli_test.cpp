// kitemail-cli run as a user runs it: arguments, files, standard input and
// output, exit codes.

#include "platform/text_codec.h"
#include "process_runner.h"
#include "temp_dir.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Every run gets a data folder of its own through KITEMAIL_HOME, so that no
// test reads the settings of the user or of the build folder.
ProcessResult Cli(const Args& args, const fs::path& home, ProcessOptions options = {})
{
    options.setEnv.emplace_back("KITEMAIL_HOME", home.string());
    return RunCli(args, options);
}

// convert on `input`, which must succeed silently; gives the output.
std::string Convert(const fs::path& home, const std::string& direction, const std::string& input, Args more = {})
{
    more.insert(more.begin(), {"convert", direction});
    ProcessOptions o;
    o.input = input;
    const ProcessResult r = Cli(more, home, o);
    EXPECT_EQ(r.exitCode, 0) << direction << ": " << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
}

// --- the tool's frame -------------------------------------------------------

// Help: exit 0, the usage at the head of standard output. A fault: exit 2,
// nothing on standard output, and standard error names the fault once.
TEST(CliFrame, HelpAndBadArgumentsAndInput)
{
    TempDir dir;
    dir.Write("emoji.txt", "ok 😀 then more text 😀");
    dir.Write("sjis.txt", Sj("漢字"));
    fs::create_directory(dir.path() / "a-folder");
    const std::string tool = "Usage: kitemail-cli [--data-dir DIR] COMMAND";
    const std::string count = "Usage: kitemail-cli [--data-dir DIR] count";
    const std::vector<std::pair<Args, std::string>> rows = {
        {{"--help"}, tool}, {{"-h"}, tool}, {{"help"}, tool}, {{"help", "convert"}, "Usage: kitemail-cli convert"},
        {{"count", "--type", "0", "-h"}, count}, {{"--data-dir", dir.path().string(), "count", "--help"}, count},
        {{}, "no command given"}, {{"send-all"}, "unknown command 'send-all'"},
        {{"--verbose", "count", "--type", "0"}, "unknown option '--verbose'"},
        {{"--data-dir"}, "--data-dir needs a folder"}, {{"convert"}, "--to-jis or --to-sjis"},
        {{"convert", "--to-jis", "--to-sjis"}, "only one of"},
        {{"convert", "--to-jis", "file.txt"}, "unexpected argument 'file.txt'"},
        {{"count", "--subject", "x"}, "--type is required"}, {{"count", "--type", "10"}, "not 10"},
        {{"count", "--type", "99999999999"}, "not a whole number"}, {{"count", "--type"}, "--type needs a value"},
        {{"count", "--type", "0", "--subjet=x"}, "unknown option '--subjet'"},
        {{"count", "--type", "0", "--body-file", "/nonexistent/body.txt"}, "cannot open '/nonexistent/body.txt'"},
        {{"count", "--type", "0", "--attach="}, "--attach needs a file"},
        {{"diet", "--trim"}, "unknown option '--trim'"}, {{"vertical", "x"}, "unexpected argument 'x'"},
        {{"preview", "--columns", "21"}, "--columns must be 6 to 20, not 21"},
        // What Shift_JIS cannot hold is named, each character once.
        {{"count", "--type", "3", "--body-file", "emoji.txt"}, "U+1F600"},
        {{"count", "--type", "0", "--sender", "😀@example.jp"}, "U+1F600"},
        {{"count", "--type", "3", "--body-file", "sjis.txt"}, "not valid UTF-8 (give --sjis"},
        // An attachment that cannot be read fails the count; no number is printed.
        {{"count", "--type", "0", "--attach", "missing.jpg"}, (dir.path() / "missing.jpg").string()},
        {{"count", "--type", "0", "--attach", "a-folder"}, (dir.path() / "a-folder").string()},
    };
    ProcessOptions o;
    o.workingDir = dir.path().string();
    for (const auto& [args, text] : rows) {
        SCOPED_TRACE(text);
        const ProcessResult r = Cli(args, dir.path(), o);
        const bool help = text.starts_with("Usage: ");
        const std::string& said = help ? r.out : r.err;
        EXPECT_EQ(r.exitCode, help ? 0 : 2);
        EXPECT_EQ(help ? r.err : r.out, "");
        EXPECT_NE(said.find(text), std::string::npos) << said;
        EXPECT_EQ(said.find(text), help ? 0 : said.rfind(text)) << said;
    }
}

// --- convert ----------------------------------------------------------------

TEST(CliConvert, GivesTheMailBytes)
{
    TempDir home;
    const std::vector<std::array<std::string, 3>> rows = {
        // No return escape at the end; half-width ka + voiced mark: ga.
        {"--to-jis", "\x8A\xBF", "\x1b$B4A"}, {"--to-jis", "\x8A\xBF\r\n", "\x1b$B4A\x1b(J\r\n"},
        {"--to-jis", "\xB6\xDE", "\x1b$B%,"}, {"--to-jis", "", ""},
        {"--to-sjis", "\x1b$B4A\x1b(Ba\x1b$B%,\x1b(J\r\n", "\x8A\xBF" "a\x83\x4B\r\n"}, // either return escape
    };
    for (const auto& [direction, in, out] : rows) {
        EXPECT_EQ(Convert(home.path(), direction, in), out);
    }
    // There and back keeps text without half-width kana.
    const std::string plain = Sj("今日は、東京駅で10時に待ち合わせ。OK?\r\n全角だけの行\r\nascii only\r\n");
    const std::string jis = Convert(home.path(), "--to-jis", plain);
    EXPECT_TRUE(std::ranges::all_of(jis, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) << jis;
    // Vendor rows too; the IBM ones (髙﨑) leave the 7-bit range, converted unchecked.
    const std::string text = plain + Sj("①②㈱髙﨑");
    EXPECT_EQ(Convert(home.path(), "--to-sjis", Convert(home.path(), "--to-jis", text)), text);
}

// Megabytes of everything the converters meet in either direction: ASCII,
// line breaks, any double-byte pair, half-width kana with and without sound
// marks, long runs of one kind, bytes the code page does not use, every kind
// of escape, and a truncated escape at the very end.
std::string MixedInput(std::size_t size)
{
    std::mt19937 rng(7);
    const auto pick = [&rng](unsigned lo, unsigned hi) { return static_cast<char>(lo + rng() % (hi - lo + 1)); };
    const std::vector<std::string> odd = {"\r\n", "\x1b$B", "\x1b(J", "\x1b(B", "\x1b$@", "\x1b(I", "\x1bxy",
                                          "\x80", "\xA0", "\xFD", "\xFE", "\xFF", std::string(1, '\0')};
    std::string s;
    while (s.size() < size) {
        const auto kind = rng() % 8;
        if (kind == 0) {
            s += odd[rng() % odd.size()];
        } else if (kind <= 2) {
            s += {pick(0x81, 0xFC), pick(0x40, 0xFC)};
        } else if (kind == 3) {
            s += rng() % 3 == 0 ? std::string{pick(0xA1, 0xDF), pick(0xDE, 0xDF)} : std::string(1, pick(0xA1, 0xDF));
        } else if (kind == 4 && rng() % 20 == 0) {
            const std::string run = rng() % 2 == 0 ? std::string{'\x88', pick(0x9F, 0xFC)} : "x";
            for (auto n = 100 + rng() % 3000; n > 0; --n) {
                s += run;
            }
        } else if (kind > 4) {
            s += pick(0x21, 0x7E); // ASCII, and pairs in double-byte mode
        }
    }
    return s + "\x1b$";
}

TEST(CliConvert, LargeInputIsByteIdenticalToConvertingItWhole)
{
    TempDir home;
    // Tiny buffers cut escapes and pairs everywhere; the default one streams megabytes.
    const std::vector<std::pair<std::size_t, Args>> plans = {{150'000, {"16", "17", "19", "1000"}},
                                                             {4'000'000, {"65536", ""}}};
    for (const auto& [size, buffers] : plans) {
        const std::string input = MixedInput(size);
        for (const std::string& buffer : buffers) {
            const Args more = buffer.empty() ? Args{} : Args{"--buffer-size", buffer};
            // Not EXPECT_EQ: a difference would print megabytes.
            EXPECT_TRUE(Convert(home.path(), "--to-jis", input, more) == SjisToJis(input)) << "to-jis " << buffer;
            EXPECT_TRUE(Convert(home.path(), "--to-sjis", input, more) == JisToSjis(input)) << "to-sjis " << buffer;
        }
    }
}

// --- count ------------------------------------------------------------------

// Counts worked out by hand from the counting rules: one per kind of setting,
// and the input handling the command adds. Each row: Kiteml.ini in the data
// folder (none when empty), the body on standard input, the arguments after
// "count" (attachments are found in `files`), the output.
TEST(CliCount, PrintsCountAndLimit)
{
    struct Row { const char* name; std::string ini, body; Args args; std::string output; };
    TempDir files;
    const std::size_t path = files.Write("photo.jpg", std::string(1000, 'x')).string().size();
    const Args longMail = {"--type", "0", "--subject", "Hi", "--sender", "123456789012345"};
    const Row rows[] = {
        // F 55 + sender 15 + subject 2 + body 13 + 3 x 2 shifts (spaces assumed at both ends)
        {"defaults", "", "あいうえおabc", longMail, "91 / 6000\n"},
        {"options 11 and 12 off: one shift", "[Configuration]\n11=0\n12=0\n", "あいうえおabc", longMail, "88 / 6000\n"},
        // [MyAddress] item 0 (13 bytes) unless a sender is given; limits from [Length].
        {"sender from the list", "[MyAddress]\nHow=2\n0=me@example.jp\n1=x@y\n[Length]\n6=7777\n", "abc",
         {"--type", "6"}, "46 / 7777\n"},
        {"given sender wins", "[MyAddress]\nHow=1\n0=me@example.jp\n", "abc", {"--type", "6", "--sender", "a@b"},
         "36 / 10000\n"},
        // Unspecified type: MaxLen and FixLen, and shifts with 3Byte.
        {"3Byte on", "[Configuration]\nMaxLen=1000\nFixLen=20\n3Byte=1\n", "漢a", {"--type", "-1", "--json"},
         "{\"count\":29,\"limit\":1000,\"over\":false,\"type\":-1}\n"},
        // Every line break counts as CR LF; a byte order mark is no text.
        {"line breaks", "", "\xEF\xBB\xBF" "a\nb\rc\r\n\n", {"--type", "3"}, "11 / 500\n"},
        // Cmail: F 13, limit 100. Over only past the limit, and counted all the same.
        {"at the limit", "", std::string(87, 'a'), {"--type", "5", "--json"},
         "{\"count\":100,\"limit\":100,\"over\":false,\"type\":5}\n"},
        {"past the limit", "", std::string(88, 'a'), {"--type", "5", "--json"},
         "{\"count\":101,\"limit\":100,\"over\":true,\"type\":5}\n"},
        // F 55 + sender 17 + subject 4 + 2 shifts + body 15 + 2 shifts; --sjis: the same as bytes.
        {"utf-8 texts", "", "漢字とｶﾅ\nabc", {"--type", "0", "--subject", "件名", "--sender", "送信者@example.jp"},
         "103 / 6000\n"},
        {"sjis texts", "", Sj("漢字とｶﾅ\nabc"),
         {"--type", "0", "--subject", Sj("件名"), "--sender", Sj("送信者@example.jp"), "--sjis"}, "103 / 6000\n"},
        // A relative path counts as the full one: size + path + 20.
        {"attachment", "", "", {"--type", "0", "--attach", "photo.jpg"}, std::to_string(1075 + path) + " / 6000\n"},
    };
    ProcessOptions o;
    o.workingDir = files.path().string();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir data;
        if (!row.ini.empty()) {
            data.Write("Kiteml.ini", row.ini);
        }
        Args args = {"count", "--body-file", "-"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        o.input = row.body;
        const ProcessResult r = Cli(args, data.path(), o);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, row.output);
        EXPECT_EQ(r.err, "");
    }
}

// --- the text tools ---------------------------------------------------------

// The window's tools as filters, on rows of their engine tables: the body
// read as the window opens a file (a final break ends the last line), every
// line written with a break after it.
TEST(CliTextTools, FilterStandardInput)
{
    struct Row { const char* name; Args args; std::string in, out; int exit = 0; std::string err = ""; };
    const Row rows[] = {
        {"diet by default: end blanks and empty lines", {"diet"}, "a \n \t \n\nb\n", "a\nb\n"},
        {"diet keeps the full-width space", {"diet", "--leading", "--trailing", "--inner", "--empty-lines"},
         "あ　い\n", "あ　い\n"},
        {"diet joins lines", {"diet", "--join"}, "ab\ncd\n", "abcd\n"},
        {"diet of nothing", {"diet"}, "", "", 1, "文章が空なので実行できません。"},
        {"vertical", {"vertical"}, "ab\ncd\n", "a\nb\n\nc\nd\n"},
        {"preview at 10 columns", {"preview", "--columns", "10"}, "a" + std::string(36, 'x') + "\n",
         std::string("a") + std::string(19, 'x') + "\n" + std::string(17, 'x') + "\n"},
        {"preview of kana, as sent", {"preview", "--columns=6"}, "ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞ\n", "ガギグゲゴザ\nジ\n"},
        {"Shift_JIS in and out", {"vertical", "--sjis"}, Sj("あい\r\n"), Sj("あ\r\nい\r\n")},
        {"not Shift_JIS", {"diet", "--sjis"}, "\x82\xFF", "", 2, "standard input is not Shift_JIS text"},
        {"what Shift_JIS cannot hold", {"preview"}, "😀", "", 2, "U+1F600"},
    };
    TempDir home;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ProcessOptions o;
        o.input = row.in;
        const ProcessResult r = Cli(row.args, home.path(), o);
        EXPECT_EQ(r.exitCode, row.exit) << r.err;
        EXPECT_EQ(r.out, row.out);
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_EQ(r.err.empty(), row.err.empty()) << r.err;
    }
    // Without --columns, the preview window's column count.
    home.Write("Kiteml.ini", "[Configuration]\nVCount=6\n");
    ProcessOptions o;
    o.input = std::string(13, 'x');
    EXPECT_EQ(Cli({"preview"}, home.path(), o).out, std::string(12, 'x') + "\nx\n");
}

TEST(CliDataDir, OptionOverridesTheEnvironment)
{
    TempDir fromEnv, fromOption;
    fromEnv.Write("Kiteml.ini", "[Length]\n3=1234\n");
    fromOption.Write("Kiteml.ini", "[Length]\n3=4321\n");
    EXPECT_EQ(Cli({"count", "--type", "3"}, fromEnv.path()).out, "0 / 1234\n");
    EXPECT_EQ(Cli({"--data-dir=" + fromOption.path().string(), "count", "--type", "3"}, fromEnv.path()).out,
              "0 / 4321\n");
}

} // namespace
} // namespace kitemail::test
