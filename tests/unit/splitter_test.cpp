// The cut search and the numbering of split parts.

#include "accounting/splitter.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

namespace kitemail {
namespace {

SplitInputs Inputs(std::int32_t type, std::int32_t fixed, std::int32_t limit, std::string_view body)
{
    SplitInputs in;
    in.type = TerminalTypeFromNumber(type);
    in.fixedLength = fixed;
    in.maxLength = limit;
    in.body = body;
    in.assumeSingleByteAtEnds = true;
    return in;
}

// The parts' bodies without their numbers, joined.
std::string Joined(const SplitResult& r)
{
    std::string joined;
    for (const std::string& p : r.parts) {
        joined += p.substr(p.find(']') + 1);
    }
    return joined;
}

TEST(SplitMessage, ImodeShrinksOneByteAtATimeNearTheLimit)
{
    std::vector<std::string> steps;
    const SplitResult r =
        SplitMessage(Inputs(3, 0, 500, std::string(1200, 'a')), [&](const std::string& s) { steps.push_back(s); });
    EXPECT_EQ(r.parts, (std::vector<std::string>{"[1/3]" + std::string(494, 'a'), "[2/3]" + std::string(494, 'a'),
                                                 "[3/3]" + std::string(212, 'a')}));
    EXPECT_EQ(steps.front(), Sj("1通目 カット部位検索505byte / 510byte"));
    EXPECT_EQ(steps.size(), 2u * 11u); // 505..495 for each part before the last; 212 fits at once
}

TEST(SplitMessage, LongMailShrinksByAThirdOfTheExcess)
{
    const std::string body(2000, 'a');
    const std::string from(20, 'f');
    SplitInputs in = Inputs(0, 55, 384, body); // the inputs are views
    in.from = from;
    std::vector<std::string> steps;
    const SplitResult r = SplitMessage(in, [&](const std::string& s) { steps.push_back(s); });
    const char* expected[] = {"389byte / 472byte", "360byte / 443byte", "341byte / 424byte", "328byte / 411byte",
                              "319byte / 402byte", "313byte / 396byte", "309byte / 392byte", "308byte / 391byte"};
    ASSERT_GT(steps.size(), 15u);
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(steps[i], Sj("1通目 カット部位検索") + expected[i]);
    }
    EXPECT_EQ(steps[14], Sj("1通目 カット部位検索301byte / 384byte"));
    EXPECT_EQ(steps[15], Sj("2通目 カット部位検索389byte / 472byte"));
    EXPECT_EQ(r.parts[0].size(), 5u + 300u);
}

// Small limits make trials end in the middle of characters, and trail
// bytes with a lead byte's value (0x9F, 0xE0) must stay with their own.
TEST(SplitMessage, NeverCutsACharacterInTwo)
{
    std::string zigzag;
    for (int i = 0; i < 20; ++i) {
        zigzag += Sj(i % 2 ? "ゼ" : "゛");
    }
    for (const std::string& body : {zigzag, "\x88\x9f\x90\xe0" + std::string(40, 'x')}) {
        for (const std::int32_t limit : {12, 16}) {
            const SplitResult r = SplitMessage(Inputs(3, 0, limit, body));
            ASSERT_TRUE(r.ok);
            EXPECT_EQ(Joined(r), body.substr(0, Joined(r).size()));
            for (const std::string& p : r.parts) {
                EXPECT_FALSE(DecodeSjis(p).contains(QChar(0xFFFD))) << p;
            }
        }
    }
    // Half-width kana are cut as their full-width forms: 5 + 4 + 2 (ends double-byte) = 11 < 12.
    EXPECT_EQ(SplitMessage(Inputs(3, 0, 12, std::string(10, '\xb6'))).parts[0], "[1/5]" + Sj("カカ"));
}

// At most nine parts, with what is left over said; the PIN as the subject
// keeps the numbers in the body (numbers asked for in the subject: the send
// workflow's split test); nothing fitting is refused.
TEST(SplitMessage, NinePartsThePinAsTheSubjectAndRefusalWhenNothingFits)
{
    const SplitResult r = SplitMessage(Inputs(3, 0, 20, std::string(500, 'a')));
    ASSERT_EQ(r.parts.size(), 9u);
    EXPECT_EQ(r.parts[8].substr(0, 5), "[9/9]");
    EXPECT_EQ(r.unsentBytes, 500 - Joined(r).size());
    EXPECT_GT(r.unsentBytes, 0u);
    EXPECT_EQ(SplitMessage(Inputs(3, 0, 20, std::string(30, 'a'))).unsentBytes, 0u);

    const std::string body(500, 'a');
    SplitInputs pin = Inputs(2, 55, 384, body);
    const std::string subject = Sj("件名");
    pin.subject = subject;
    pin.partNumberInSubject = true;
    const SplitResult sky = SplitMessage(pin);
    EXPECT_EQ(sky.parts[0].substr(0, 3), "[1/");
    EXPECT_EQ(sky.PartSubject(1), subject);

    SplitInputs in = Inputs(0, 55, 100, "some body text");
    const std::string from(60, 'f');
    in.from = from;
    EXPECT_FALSE(SplitMessage(in).ok);
    EXPECT_TRUE(SplitMessage(in).parts.empty());
    EXPECT_FALSE(SplitMessage(Inputs(3, 0, 8, Sj("漢"))).ok); // one character needing more room than there is
}

} // namespace
} // namespace kitemail
