// The main window's commands without widgets: the texts they put into the
// body, the full clear, body files, the attachment list's rules, and the
// text tools (diet, vertical writing, the preview's rows) as tables.

#include "file_bytes.h"
#include "platform/date_text.h"
#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "send/attachment_commands.h"
#include "send/message_composer.h"
#include "settings/address_book.h"
#include "settings/settings.h"
#include "temp_dir.h"
#include "tools/text_commands.h"
#include "tools/text_tools.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using test::ReadBytes;

// A row's name as a test's: its words run together, each capitalised.
template <class Row>
std::string CommandRowName(const ::testing::TestParamInfo<Row>& info)
{
    std::string name;
    bool upper = true;
    for (const char c : std::string_view(info.param.name)) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum) {
            name.push_back(upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
        }
        upper = !alnum;
    }
    return name;
}

class CommandsTest : public ::testing::Test {
protected:
    Settings settings;
    test::ScriptedUserInterface ui;
    MessageComposer composer{settings, ui};
    TextCommands text{settings, composer, ui};
    AttachmentCommands attachments{settings, composer, ui};
    test::TempDir dir;

    ComposedText Path(const std::filesystem::path& p) const { return {p.native(), {}}; }
};

// ------------------------------------------------------------ texts for the body

struct BreakRow {
    const char* name;
    std::string in;
    std::string quoted;
    std::string body;
};

using QuotedPasteAndFileLines = ::testing::TestWithParam<BreakRow>;

TEST_P(QuotedPasteAndFileLines, SplitAtEveryKindOfBreak)
{
    EXPECT_EQ(QuotedLines(GetParam().in), GetParam().quoted);
    EXPECT_EQ(BodyLines(GetParam().in), GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, QuotedPasteAndFileLines,
    ::testing::Values(BreakRow{"three lines, one empty", "a\r\n\r\nb", "> a\r\n> \r\n> b\r\n", "a\r\n\r\nb"},
                      BreakRow{"lone CR and lone LF", "a\rb\nc", "> a\r\n> b\r\n> c\r\n", "a\r\nb\r\nc"},
                      BreakRow{"a final break starts no line", "a\n", "> a\r\n", "a"},
                      BreakRow{"two final breaks keep one empty line", "a\r\n\r\n", "> a\r\n> \r\n", "a\r\n"},
                      BreakRow{"a break alone", "\r\n", "> \r\n", ""}, BreakRow{"nothing", "", "", ""},
                      // 0x5C as a trail byte is no break, nor anything else to split at.
                      BreakRow{"Shift_JIS", Sj("表\nソ"), Sj("> 表\r\n> ソ\r\n"), Sj("表\r\nソ")}),
    CommandRowName<BreakRow>);

struct DateRow {
    const char* name;
    const char* locale;
    LocalTime at;
    const char* text; // UTF-8
};

using DateInsert = ::testing::TestWithParam<DateRow>;

TEST_P(DateInsert, InTheLocalesFormatsWithoutTheTimeAtMidnight)
{
    const DateRow& row = GetParam();
    EXPECT_EQ(DateInsertText(row.at, QLocale(QString::fromLatin1(row.locale))), QString::fromUtf8(row.text));
}

INSTANTIATE_TEST_SUITE_P(Rows, DateInsert,
                         ::testing::Values(DateRow{"ja evening", "ja_JP", {2026, 6, 5, 18, 42, 13}, "2026/06/05 18時42分13秒"},
                                           DateRow{"ja midnight", "ja_JP", {2026, 6, 5, 0, 0, 0}, "2026/06/05"},
                                           DateRow{"ja one second later", "ja_JP", {2026, 6, 5, 0, 0, 1},
                                                   "2026/06/05 0時00分01秒"},
                                           DateRow{"en evening", "en_US", {2026, 6, 5, 18, 42, 13}, "6/5/26 6:42:13 PM"},
                                           DateRow{"de midnight", "de_DE", {2026, 6, 5, 0, 0, 0}, "05.06.26"}),
                         CommandRowName<DateRow>);

TEST_F(CommandsTest, SignaturesTelephoneLinkAndAnEntrysAddress)
{
    settings.SignatureA = "Taro";
    settings.SignatureText = Sj("署名\r\n");
    const std::tuple<Signature, bool, std::string> signatures[] = {
        {Signature::A, true, "Taro"}, {Signature::B, false, ""}, {Signature::Automatic, true, Sj("署名\r\n")}};
    for (const auto& [which, enabled, inserted] : signatures) {
        EXPECT_EQ(text.SignatureEnabled(which), enabled);
        EXPECT_EQ(text.SignatureText(which), inserted);
    }

    // The number exactly as typed: no check, blanks and hyphens kept.
    ui.lineAnswers = {"090-12 34", std::nullopt};
    EXPECT_EQ(text.AskTelephoneLink(), std::optional<std::string>("tel:090-12 34"));
    EXPECT_EQ(text.AskTelephoneLink(), std::nullopt);
    EXPECT_EQ(ui.events.front(), Sj("line:電話番号を入力して下さい。|090"));

    settings.AddressBook = {Sj("太郎,taro@example.jp,,3,-1"), Sj("花子,hanako@example.jp,,6,-1")};
    AddressBookEditor editor(settings, ui);
    EXPECT_EQ(EntryAddressText(editor, 1), Sj("hanako@example.jp <花子>"));
    EXPECT_EQ(editor.SelectedIndex(), 1); // the editor shows the entry too
    EXPECT_EQ(EntryAddressText(editor, 2), std::nullopt);
}

// ------------------------------------------------------------ clear

TEST_F(CommandsTest, ClearAsksThenEmptiesEverythingButLeavesTheTypeToTheNextChange)
{
    settings.AddressBook = {"a,a@x,,3,-1", "b,b@x,,6,-1"};
    settings.SenderList = {"first@x", "second@x"};
    composer.SetSender("second@x");
    settings.DefaultType = TerminalType::IMode;
    settings.AutoInsertSignature = true;
    settings.SignatureText = Sj("署名");
    const std::filesystem::path file = dir.Write("a.bin", "12345");
    const auto fill = [&] {
        composer.SetBody({"body", {}});
        composer.SetSubject({"subject", {}});
        composer.SetPin({"1234", {}});
        composer.SetDirectAddress({"to@x", {}});
        composer.SetAttachments({file.native()});
        composer.SetCheckListLines(settings.AddressBook);
        composer.SetTick(1, true);
        composer.FromCheckClicked(true);
        composer.TypeBoxChanged(TerminalType::VodafoneLongMail);
        ui.Clear();
    };

    fill();
    ui.confirmAnswers = {true};
    EXPECT_TRUE(text.Clear());
    EXPECT_EQ(ui.events.front(), "beep");
    EXPECT_EQ(ui.statusTexts.front(), "");
    EXPECT_EQ(composer.Text(TextArea::Body).bytes, Sj("署名"));
    for (const TextArea area : {TextArea::Subject, TextArea::Pin, TextArea::DirectAddress}) {
        EXPECT_EQ(composer.Text(area), ComposedText{});
    }
    EXPECT_TRUE(composer.Attachments().empty());
    EXPECT_EQ(composer.CheckList(), (std::vector<CheckListEntry>{{"a,a@x,,3,-1", false}, {"b,b@x,,6,-1", false}}));
    EXPECT_FALSE(composer.FromChecked());
    EXPECT_EQ(composer.Sender(), "first@x");
    EXPECT_EQ(composer.TypeBox(), TerminalType::IMode);
    EXPECT_EQ(composer.TypeState().CurrentTerminalType, TerminalType::VodafoneLongMail); // shown, not applied
    // Type 0: F, the first sender, the signature with its shifts, and 2
    // for a body that ends double-byte.
    EXPECT_EQ(composer.Display().count, 55 + 7 + 4 + 6 + 2);

    // Without the question and the signature.
    settings.ConfirmClear = false;
    settings.AutoInsertSignature = false;
    fill();
    EXPECT_TRUE(text.Clear());
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(composer.Text(TextArea::Body), ComposedText{});
}

// ------------------------------------------------------------ body files

struct BodyFileRow {
    const char* name;
    std::string bytes; // kFolder: a folder, not a file
    std::optional<bool> answer;
    std::optional<std::string> text;
    bool utf8;
    const char* told; // UTF-8, a part of the question or message
};
const std::string kFolder = "<folder>";

class BodyFileOpened : public CommandsTest, public ::testing::WithParamInterface<BodyFileRow> {};

TEST_P(BodyFileOpened, AsShiftJisOrOnAnswerUtf8)
{
    const BodyFileRow& row = GetParam();
    std::filesystem::path path = dir.path() / "dir";
    if (row.bytes != kFolder) {
        path = dir.Write("body.txt", row.bytes);
    } else {
        std::filesystem::create_directories(path);
    }
    if (row.answer) {
        ui.confirmAnswers = {*row.answer};
    }
    const std::optional<BodyFileText> read = text.OpenBody(path);
    ASSERT_EQ(read.has_value(), row.text.has_value());
    if (read) {
        EXPECT_EQ(read->text, *row.text);
        EXPECT_EQ(read->utf8, row.utf8);
    }
    const std::string told = ui.questions.empty() ? (ui.messages.empty() ? "" : ui.messages.front())
                                                  : ui.questions.front().text;
    EXPECT_NE(told.find(Sj(row.told)), std::string::npos) << SjisToUtf8(told);
    EXPECT_EQ(told.empty(), *row.told == '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BodyFileOpened,
    ::testing::Values(BodyFileRow{"Shift_JIS, LF breaks", Sj("あ\nい\n"), {}, Sj("あ\r\nい"), false, ""},
                      BodyFileRow{"ASCII is both: no question", "a\r\nb\r\n", {}, "a\r\nb", false, ""},
                      BodyFileRow{"UTF-8, answered Yes", "あ😀\n", true, "あ😀", true, "U+1F600"},
                      BodyFileRow{"UTF-8, answered No", "あい\n", false, {}, false, "UTF-8として読み込みますか"},
                      BodyFileRow{"UTF-8 with its mark", "\xEF\xBB\xBF" "abc", true, "abc", true, "UTF-8"},
                      BodyFileRow{"neither", "\x82\xFF", {}, {}, false, "Shift_JISのテキストでもUTF-8のテキストでもない"},
                      BodyFileRow{"a folder", kFolder, {}, {}, false, "通常のファイルではありません"}),
    CommandRowName<BodyFileRow>);

TEST_F(CommandsTest, BodyFilesSavedWithCrLfAndNothingIsLostWhenASaveFails)
{
    // Saved with CR LF after every line; read back the same.
    const std::filesystem::path saved = dir.path() / "saved.txt";
    composer.SetBody({Sj("一\r\n\r\n二"), {}});
    EXPECT_TRUE(text.SaveBody(saved));
    EXPECT_EQ(ReadBytes(saved), Sj("一\r\n\r\n二\r\n"));
    EXPECT_EQ(text.OpenBody(saved)->text, Sj("一\r\n\r\n二"));
    // A character the file cannot hold, or a folder that is not there:
    // told why, the file as it was.
    ui.Clear();
    composer.SetBody({Sj("a") + std::string(kUnmappablePlaceholder), {U'😀'}});
    EXPECT_FALSE(text.SaveBody(saved));
    EXPECT_FALSE(text.SaveBody(dir.path() / "none" / "x.txt"));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_NE(ui.messages[0].find("U+1F600"), std::string::npos);
    EXPECT_NE(ui.messages[1].find(Sj(" に書き込めません")), std::string::npos);
    EXPECT_EQ(ReadBytes(saved), Sj("一\r\n\r\n二\r\n"));
}

// ------------------------------------------------------------ text tools

// The diet beeps whatever BeepOnMessage says; vertical writing follows it.
// Neither takes a body whose characters would come back as placeholders.
const ComposedText kUnmappable{"a " + std::string(kUnmappablePlaceholder), {U'😀'}};

struct DietRow {
    const char* name;
    ComposedText body;
    std::string ticks; // "" none, "d" the defaults
    std::optional<std::string> diet;
    const char* told;
};

class DietCommand : public CommandsTest, public ::testing::WithParamInterface<DietRow> {};

TEST_P(DietCommand, RefusesWhatItWouldSpoil)
{
    const DietRow& row = GetParam();
    settings.BeepOnMessage = false;
    composer.SetBody(row.body);
    const DietOptions options = row.ticks.empty() ? DietOptions{false, false, false, false, false} : DietOptions{};
    EXPECT_EQ(text.Diet(options), row.diet);
    const bool refused = *row.told != '\0';
    EXPECT_EQ(ui.beeps, refused ? 1 : 0);
    ASSERT_EQ(ui.messages.size(), refused ? 1u : 0u);
    if (refused) {
        EXPECT_NE(ui.messages.front().find(Sj(row.told)), std::string::npos) << SjisToUtf8(ui.messages.front());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DietCommand,
    ::testing::Values(DietRow{"no option", {"a ", {}}, "", std::nullopt, "いずれかのオプションを指定してください。"},
                      DietRow{"an empty body", {}, "d", std::nullopt, "文章が空なので実行できません。"},
                      DietRow{"a character Shift_JIS cannot hold", kUnmappable, "d", std::nullopt, "U+1F600"},
                      DietRow{"the defaults", {"a \r\n\r\nb", {}}, "d", "a\r\nb", ""}),
    CommandRowName<DietRow>);

TEST_F(CommandsTest, VerticalWritingRefusesWhatItWouldSpoil)
{
    settings.BeepOnMessage = false;
    composer.SetBody({"ab", {}});
    EXPECT_EQ(text.VerticalWriting(), std::optional<std::string>("a\r\nb"));
    ui.Clear();
    composer.SetBody(kUnmappable);
    EXPECT_EQ(text.VerticalWriting(), std::nullopt);
    EXPECT_EQ(ui.beeps, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages.front().find("U+1F600"), std::string::npos);
}

// ------------------------------------------------------------ attachments

// The window's tests drop a missing file, one listed already and a folder.
TEST_F(CommandsTest, AttachmentListRefusesWhatCannotBeSentAndRecountsEveryChange)
{
    const std::filesystem::path a = dir.Write("a.bin", "aaaa");
    const std::filesystem::path pipe = dir.path() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_TRUE(composer.Recount());
    const std::int32_t empty = composer.Display().count;

    // The same file twice in one drop, a pipe, a name the code page cannot hold.
    attachments.AddDropped({Path(a), Path(a), Path(pipe), {"/tmp/" + std::string(kUnmappablePlaceholder), {U'😀'}}});
    EXPECT_EQ(composer.Attachments(), std::vector<std::string>{a.native()});
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[1], Sj("重複しているか、ファイルが存在しません。"));
    EXPECT_NE(ui.messages[2].find("U+1F600"), std::string::npos);
    EXPECT_EQ(ui.statusTexts.back(), Sj("添付ファイル選択エラー"));
    // Type 0 counts the size, the path and 20 bytes.
    EXPECT_EQ(composer.Display().count, empty + static_cast<std::int32_t>(4 + a.native().size() + 20));

    attachments.AddChosen({Path(a)});
    attachments.Remove(9);
    EXPECT_EQ(composer.Attachments().size(), 2u);
    attachments.Remove(0);
    EXPECT_EQ(composer.Attachments(), std::vector<std::string>{a.native()});
    settings.ConfirmClear = false;
    ui.Clear();
    EXPECT_TRUE(attachments.ClearAsked());
    EXPECT_TRUE(ui.events.empty());
    EXPECT_EQ(composer.Display().count, empty);
}

// ------------------------------------------------------------ the text tools' tables

// The diet's options by letter, in their order: Leading, Trailing, Inner,
// Empty lines, Join.
DietOptions Ticks(std::string_view letters)
{
    const auto has = [letters](char c) { return letters.find(c) != std::string_view::npos; };
    return {has('L'), has('T'), has('I'), has('E'), has('J')};
}

std::string Repeat(std::string_view s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

// The diet applies its ticked options in order; vertical writing (no
// ticks) puts every character on a line of its own.
struct TextToolRow {
    const char* name;
    const char* ticks; // nullptr: vertical writing
    std::string in;
    std::string out;
};

using DietAndVerticalWriting = ::testing::TestWithParam<TextToolRow>;

TEST_P(DietAndVerticalWriting, Rows)
{
    const TextToolRow& row = GetParam();
    EXPECT_EQ(row.ticks != nullptr ? DietText(row.in, Ticks(row.ticks)) : VerticalText(row.in), row.out);
}

INSTANTIATE_TEST_SUITE_P(Rows, DietAndVerticalWriting, ::testing::Values(
    TextToolRow{"the full-width space is never a blank", "LTIE", Sj("あ　い"), Sj("あ　い")},
    TextToolRow{"inner spaces, a run of them", "I", "a  b", "ab"},
    TextToolRow{"a tab at a line's start", "L", "\tx\r\n\ty", "x\r\ny"},
    TextToolRow{"control bytes at the edges, not inside", "LT", "\x01 a\tb\x1F\r\n", "a\tb\r\n"},
    TextToolRow{"inner takes only the space", "I", " a\tb ", "a\tb"},
    TextToolRow{"an empty line between two", "E", "x\r\n\r\ny", "x\r\ny"},
    TextToolRow{"the last empty line stays", "E", "x\r\n\r\n", "x\r\n"},
    TextToolRow{"two lines joined", "J", "ab\r\ncd", "abcd"},
    TextToolRow{"defaults: a line of blanks disappears", "TE", "a \r\n \t \r\nb", "a\r\nb"},
    TextToolRow{"end blanks alone leave the blank line empty", "T", "a\r\n  \r\nb", "a\r\n\r\nb"},
    TextToolRow{"a line of spaces emptied inside goes", "IE", "a\r\n   \r\nb", "a\r\nb"},
    TextToolRow{"a trail byte 0x5C before a blank", "T", Sj("ソ \r\n表　 "), Sj("ソ\r\n表　")},
    TextToolRow{"every option", "LTIEJ", "  a b  \r\n\r\n c \r\n", "abc"},
    TextToolRow{"a lone LF is no line break", "T", "a\nb\n", "a\nb"},
    TextToolRow{"vertical: three letters", nullptr, "abc", "a\r\nb\r\nc"},
    TextToolRow{"vertical: double-byte characters stay whole", nullptr, Sj("あい"), Sj("あ\r\nい")},
    TextToolRow{"vertical: a trail byte that looks like a break's neighbour", nullptr, Sj("ソ表"), Sj("ソ\r\n表")},
    TextToolRow{"vertical: half-width katakana are single bytes", nullptr, Sj("ｱｲ"), Sj("ｱ\r\nｲ")},
    TextToolRow{"vertical: a line break becomes an empty line", nullptr, "ab\r\ncd", "a\r\nb\r\n\r\nc\r\nd"},
    TextToolRow{"vertical: a final break ends in an empty line", nullptr, "ab\r\n", "a\r\nb\r\n\r\n"},
    TextToolRow{"vertical twice: an empty line between all", nullptr, "a\r\nb", "a\r\n\r\nb"},
    TextToolRow{"vertical: one character", nullptr, Sj("字"), Sj("字")},
    TextToolRow{"vertical: nothing", nullptr, "", ""},
    TextToolRow{"vertical: a lead byte with nothing after it", nullptr, "a\x82", "a\r\n\x82"}), CommandRowName<TextToolRow>);

TEST(TextTools, DietOptionsAtStartAreTheDialogsTicks)
{
    EXPECT_EQ(DietOptions{}, Ticks("TE"));
}

const std::string kKanji = Sj("字");

struct PreviewRow {
    const char* name;
    std::int32_t columns;
    std::string in;
    std::vector<std::string> rows;
};

using PreviewCuts = ::testing::TestWithParam<PreviewRow>;

TEST_P(PreviewCuts, RowsWithoutSplittingACharacter)
{
    EXPECT_EQ(PreviewRows(GetParam().in, GetParam().columns), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Rows, PreviewCuts, ::testing::Values(
    PreviewRow{"25 full-width at 10 columns", 10, Repeat(kKanji, 25), {Repeat(kKanji, 10), Repeat(kKanji, 10), Repeat(kKanji, 5)}},
    PreviewRow{"a half-width letter first: 9 on the first row", 10, "a" + Repeat(kKanji, 12),
               {"a" + Repeat(kKanji, 9), Repeat(kKanji, 3)}},
    PreviewRow{"exactly 2 x columns bytes", 10, Repeat("x", 20), {Repeat("x", 20)}},
    PreviewRow{"one byte more", 10, Repeat("x", 21), {Repeat("x", 20), "x"}},
    PreviewRow{"6 columns: 12 bytes", 6, Repeat("x", 11) + Repeat(kKanji, 2), {Repeat("x", 11), Repeat(kKanji, 2)}},
    PreviewRow{"breaks of every kind, none after the last", 10, "a\rb\nc\r\n", {"a", "b", "c"}},
    PreviewRow{"empty lines stay", 10, "a\r\n\r\nb", {"a", "", "b"}},
    PreviewRow{"nothing", 10, "", {}},
    PreviewRow{"fewer columns than 6 count as 6", 1, Repeat("x", 13), {Repeat("x", 12), "x"}},
    PreviewRow{"more than 20 count as 20", 99, Repeat("x", 41), {Repeat("x", 40), "x"}}), CommandRowName<PreviewRow>);

TEST(TextTools, PreviewIsTheTextAsItWillBeSent)
{
    // Half-width katakana come back full-width.
    EXPECT_EQ(PreviewText(Sj("ｶﾞｷﾞ\r\nok"), 10), Sj("ガギ\r\nok\r\n"));
}

} // namespace
} // namespace kitemail
