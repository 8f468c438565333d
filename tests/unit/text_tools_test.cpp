// The text tools as tables of input and output: the diet, vertical writing
// and the preview's rows.

#include "platform/text_codec.h"
#include "send/text_tools.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kitemail {
namespace {

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

TEST(TextTools, DietAppliesTheTickedOptionsInOrder)
{
    struct Row {
        const char* name;
        const char* ticks;
        std::string in;
        std::string out;
    };
    const Row rows[] = {
        {"the full-width space is never a blank", "LTIE", Sj("あ　い"), Sj("あ　い")},
        {"inner spaces, a run of them", "I", "a  b", "ab"},
        {"a tab at a line's start", "L", "\tx\r\n\ty", "x\r\ny"},
        {"control bytes at the edges, not inside", "LT", "\x01 a\tb\x1F\r\n", "a\tb\r\n"},
        {"inner takes only the space", "I", " a\tb ", "a\tb"},
        {"an empty line between two", "E", "x\r\n\r\ny", "x\r\ny"},
        {"the last empty line stays", "E", "x\r\n\r\n", "x\r\n"},
        {"two lines joined", "J", "ab\r\ncd", "abcd"},
        {"defaults: a line of blanks disappears", "TE", "a \r\n \t \r\nb", "a\r\nb"},
        {"end blanks alone leave the blank line empty", "T", "a\r\n  \r\nb", "a\r\n\r\nb"},
        {"a line of spaces emptied inside goes", "IE", "a\r\n   \r\nb", "a\r\nb"},
        {"a trail byte 0x5C before a blank", "T", Sj("ソ \r\n表　 "), Sj("ソ\r\n表　")},
        {"every option", "LTIEJ", "  a b  \r\n\r\n c \r\n", "abc"},
        {"a lone LF is no line break", "T", "a\nb\n", "a\nb"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DietText(row.in, Ticks(row.ticks)), row.out);
    }
    EXPECT_EQ(DietOptions{}, Ticks("TE")); // the dialog's ticks at start
}

TEST(TextTools, VerticalWritingPutsEveryCharacterOnALineOfItsOwn)
{
    struct Row {
        const char* name;
        std::string in;
        std::string out;
    };
    const Row rows[] = {
        {"three letters", "abc", "a\r\nb\r\nc"},
        {"double-byte characters stay whole", Sj("あい"), Sj("あ\r\nい")},
        {"a trail byte that looks like a break's neighbour", Sj("ソ表"), Sj("ソ\r\n表")},
        {"half-width katakana are single bytes", Sj("ｱｲ"), Sj("ｱ\r\nｲ")},
        {"a line break becomes an empty line", "ab\r\ncd", "a\r\nb\r\n\r\nc\r\nd"},
        {"a final break ends in an empty line", "ab\r\n", "a\r\nb\r\n\r\n"},
        {"twice: an empty line between all", "a\r\nb", "a\r\n\r\nb"},
        {"one character", Sj("字"), Sj("字")},
        {"nothing", "", ""},
        {"a lead byte with nothing after it", "a\x82", "a\r\n\x82"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(VerticalText(row.in), row.out);
    }
}

TEST(TextTools, PreviewCutsRowsWithoutSplittingACharacter)
{
    struct Row {
        const char* name;
        std::int32_t columns;
        std::string in;
        std::vector<std::string> rows;
    };
    const std::string kanji = Sj("字");
    const Row rows[] = {
        {"25 full-width at 10 columns", 10, Repeat(kanji, 25), {Repeat(kanji, 10), Repeat(kanji, 10), Repeat(kanji, 5)}},
        {"a half-width letter first: 9 on the first row", 10, "a" + Repeat(kanji, 12),
         {"a" + Repeat(kanji, 9), Repeat(kanji, 3)}},
        {"exactly 2 x columns bytes", 10, Repeat("x", 20), {Repeat("x", 20)}},
        {"one byte more", 10, Repeat("x", 21), {Repeat("x", 20), "x"}},
        {"6 columns: 12 bytes", 6, Repeat("x", 11) + Repeat(kanji, 2), {Repeat("x", 11), Repeat(kanji, 2)}},
        {"breaks of every kind, none after the last", 10, "a\rb\nc\r\n", {"a", "b", "c"}},
        {"empty lines stay", 10, "a\r\n\r\nb", {"a", "", "b"}},
        {"nothing", 10, "", {}},
        {"fewer columns than 6 count as 6", 1, Repeat("x", 13), {Repeat("x", 12), "x"}},
        {"more than 20 count as 20", 99, Repeat("x", 41), {Repeat("x", 40), "x"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(PreviewRows(row.in, row.columns), row.rows);
    }
    // The text as it will be sent: half-width katakana come back full-width.
    EXPECT_EQ(PreviewText(Sj("ｶﾞｷﾞ\r\nok"), 10), Sj("ガギ\r\nok\r\n"));
}

} // namespace
} // namespace kitemail
