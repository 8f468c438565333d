// ISO-2022-JP conversion: the escapes, half-width katakana, and malformed input.

#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "golden.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <random>

namespace kitemail {
namespace {

struct ConversionCase {
    const char* name;
    std::string sjis;
    std::string jis;
};

class SjisToJisTable : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(SjisToJisTable, ConvertsByteForByte)
{
    EXPECT_EQ(SjisToJis(GetParam().sjis), GetParam().jis);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SjisToJisTable,
    ::testing::Values(
        ConversionCase{"Empty", "", ""},
        ConversionCase{"AsciiUnchanged", "Hello\r\n\tworld", "Hello\r\n\tworld"},
        ConversionCase{"KanjiLeftInDoubleByteMode", "\x8a\xbf", "\x1b$B4A"},
        ConversionCase{"KanjiThenLineBreak", "\x8a\xbf\r\n", "\x1b$B4A\x1b(J\r\n"},
        ConversionCase{"VoicedKa", "\xb6\xde", "\x1b$B%,"},
        ConversionCase{"SemiVoicedHa", "\xca\xdf", "\x1b$B%Q"},
        ConversionCase{"VoicedU", "\xb3\xde", "\x1b$B%t"},
        ConversionCase{"LoneVoicedMark", "\xde", "\x1b$B!+"},
        ConversionCase{"LoneSemiVoicedMark", "\xdf", "\x1b$B!,"},
        ConversionCase{"AWithVoicedMarkStaysTwo", "\xb1\xde", "\x1b$B%\"!+"},
        ConversionCase{"KaWithSemiVoicedMarkStaysTwo", "\xb6\xdf", "\x1b$B%+!,"},
        ConversionCase{"HalfwidthPunctuationRowOne", "\xa1\xa2\xa3\xa4\xa5\xb0", "\x1b$B!#!V!W!\"!&!<"},
        ConversionCase{"HalfwidthWoAndN", "\xa6\xdd", "\x1b$B%r%s"},
        ConversionCase{"KanaAtEndHasNoMark", "a\xb6", "a\x1b$B%+"},
        ConversionCase{"MixedSwitchesBothWays", "a\x82\xa0" "b", "a\x1b$B$\"\x1b(Jb"},
        ConversionCase{"DanglingLeadByteDropped", "a\x8a", "a"},
        ConversionCase{"DanglingLeadAfterKanji", "\x8a\xbf\x8a", "\x1b$B4A"}),
    [](const auto& row) { return row.param.name; });

TEST(JisToSjis, RoundTripTurnsHalfwidthIntoFullwidth)
{
    EXPECT_EQ(NormalizeText("\xb6\xde"), "\x83\x4b"); // ga
    EXPECT_EQ(NormalizeText("\xb1"), "\x83\x41");     // a
    const std::string plain = Sj("漢字とカタカナ、ASCII mixed ①〜\r\n最後");
    EXPECT_EQ(NormalizeText(plain), plain);
}

TEST(JisToSjis, AcceptsAnyDollarOrParenEscape)
{
    EXPECT_EQ(JisToSjis("\x1b$B4A\x1b(Babc"), "\x8a\xbf" "abc");
    EXPECT_EQ(JisToSjis("\x1b$@4A\x1b(Iabc"), "\x8a\xbf" "abc");
    // An escape with another second byte keeps the mode and is skipped.
    EXPECT_EQ(JisToSjis("ab\x1bxyc"), "abc");
}

TEST(JisToSjis, MalformedInputNeverReadsPastTheEnd)
{
    EXPECT_EQ(JisToSjis("abc\x1b"), "abc");
    EXPECT_EQ(JisToSjis("abc\x1b$"), "abc");
    EXPECT_EQ(JisToSjis("\x1b$B4A4"), "\x8a\xbf"); // odd last byte in double-byte mode
    EXPECT_EQ(JisToSjis("\x1b"), "");
}

// Every well-formed double-byte character of the code page survives the trip,
// user-defined rows included: the counter's shortcut relies on this.
TEST(JisToSjis, EveryWellFormedPairRoundTrips)
{
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!sjis::IsLeadByte(static_cast<unsigned char>(lead))) {
            continue;
        }
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) {
                continue;
            }
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            ASSERT_EQ(NormalizeText(pair), pair) << std::hex << lead << " " << trail;
        }
    }
}

TEST(HankakuToJis, MovesPastAMergedMark)
{
    const std::string text = "\xb6\xde\xb6";
    std::size_t pos = 0;
    EXPECT_EQ(HankakuToJis(text, pos), (JisCode{0x25, 0x2C}));
    EXPECT_EQ(pos, 2u);
    EXPECT_EQ(HankakuToJis(text, pos), (JisCode{0x25, 0x2B}));
    EXPECT_EQ(pos, 3u);
}

} // namespace
} // namespace kitemail

namespace kitemail {
namespace {

// Feeding a text in pieces of any size gives exactly the whole conversion.
template <typename Converter>
std::string ConvertInPieces(std::string_view text, std::mt19937& rng, unsigned maxPiece = 4)
{
    Converter conv;
    std::string out;
    std::string carry;
    std::size_t pos = 0;
    while (true) {
        const std::size_t take = std::min<std::size_t>(rng() % (maxPiece + 1), text.size() - pos);
        std::string piece = carry + std::string(text.substr(pos, take));
        pos += take;
        const bool last = pos == text.size();
        const std::size_t used = conv.Convert(piece, last, out);
        carry = piece.substr(used);
        if (last) {
            EXPECT_TRUE(carry.empty());
            return out;
        }
    }
}

TEST(StreamingConversion, PiecesGiveTheWholeResult)
{
    std::mt19937 rng(3);
    const std::string alphabet[] = {"a", "\r\n", Sj("漢"), "\xb6", "\xde", "\xdf", "\xca", "\xb3", "\x81", "\x1b"};
    for (int round = 0; round < 500; ++round) {
        std::string text;
        for (auto i = rng() % 20; i > 0; --i) {
            text += alphabet[rng() % std::size(alphabet)];
        }
        const std::string jis = SjisToJis(text);
        ASSERT_EQ(ConvertInPieces<SjisToJisConverter>(text, rng), jis) << ::testing::PrintToString(text);
        ASSERT_EQ(ConvertInPieces<JisToSjisConverter>(jis, rng), JisToSjis(jis));
        ASSERT_EQ(ConvertInPieces<JisToSjisConverter>(text, rng), JisToSjis(text));
    }
}

// Every character code, runs ending at every offset of the converter's
// steps, half-width katakana and stray bytes: whole, and in pieces.
class ToJisGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(ToJisGolden, ConvertsToTheExpectedBytes)
{
    const std::string input = test::GoldenInput("to_jis", GetParam());
    const std::string jis = SjisToJis(input);
    test::ExpectGolden("to_jis", GetParam(), jis);
    std::mt19937 rng(7);
    EXPECT_EQ(ConvertInPieces<SjisToJisConverter>(input, rng, 100), jis);
}

INSTANTIATE_TEST_SUITE_P(Files, ToJisGolden, ::testing::ValuesIn(test::GoldenNames("to_jis")), test::GoldenRowName());

} // namespace
} // namespace kitemail
