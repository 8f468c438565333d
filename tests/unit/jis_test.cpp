// ISO-2022-JP conversion beyond its golden pairs: streaming, and the trip
// there and back that the counter measures.

#include "golden.h"
#include "platform/text_codec.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <random>

namespace kitemail {
namespace {

// Feeding a text in pieces of up to maxPiece bytes, each call given what
// the last one left unused.
template <typename Converter>
std::string ConvertInPieces(std::string_view text, std::mt19937& rng, unsigned maxPiece)
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
        carry = piece.substr(conv.Convert(piece, last, out));
        if (last) {
            EXPECT_TRUE(carry.empty());
            return out;
        }
    }
}

// Every character code, runs ending at every offset of the converter's
// steps, half-width katakana and stray bytes: whole and in pieces, there
// and back.
class ToJisGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(ToJisGolden, ConvertsToTheExpectedBytesInAnyPieces)
{
    const std::string input = test::GoldenInput("to_jis", GetParam());
    const std::string jis = SjisToJis(input);
    test::ExpectGolden("to_jis", GetParam(), jis);
    std::mt19937 rng(7);
    EXPECT_EQ(ConvertInPieces<SjisToJisConverter>(input, rng, 20), jis);
    EXPECT_EQ(ConvertInPieces<JisToSjisConverter>(jis, rng, 20), JisToSjis(jis));
    EXPECT_EQ(ConvertInPieces<JisToSjisConverter>(input, rng, 20), JisToSjis(input));
}

INSTANTIATE_TEST_SUITE_P(Files, ToJisGolden, ::testing::ValuesIn(test::GoldenNames("to_jis")), test::GoldenRowName());

// Half-width katakana come back full-width, with a sound mark that combines
// with them; every well-formed character comes back as it was, user-defined
// rows included: the counter's one-pass measure relies on it.
TEST(NormalizeText, TurnsHalfWidthKanaFullWidthAndKeepsEveryOtherCharacter)
{
    EXPECT_EQ(NormalizeText("\xb6\xde\xb1"), "\x83\x4b\x83\x41");
    const std::string every = test::GoldenInput("to_jis", "every_character");
    EXPECT_TRUE(NormalizeText(every) == every);
    std::size_t pos = 0;
    EXPECT_EQ(HankakuToJis("\xb6\xde\xb6", pos), (JisCode{0x25, 0x2C}));
    EXPECT_EQ(pos, 2u);
}

} // namespace
} // namespace kitemail
