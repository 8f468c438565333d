// The cut search and the numbering of split parts.

#include "accounting/splitter.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

namespace kitemail {
namespace {

SplitInputs Inputs(std::int32_t type, std::int32_t fixed, std::int32_t limit, std::string_view body)
{
    SplitInputs in;
    in.type = type;
    in.fixedLength = fixed;
    in.maxLength = limit;
    in.body = body;
    in.assumeSingleByteAtEnds = true;
    return in;
}

std::string Body(const std::string& part)
{
    return part.substr(part.find(']') + 1);
}

TEST(SplitMessage, ImodeShrinksOneByteAtATimeNearTheLimit)
{
    const std::string body(1200, 'a');
    std::vector<std::string> steps;
    const SplitResult r = SplitMessage(Inputs(3, 0, 500, body), [&](const std::string& s) { steps.push_back(s); });
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.parts.size(), 3u);
    EXPECT_EQ(r.parts[0], "[1/3]" + std::string(494, 'a'));
    EXPECT_EQ(r.parts[1], "[2/3]" + std::string(494, 'a'));
    EXPECT_EQ(r.parts[2], "[3/3]" + std::string(212, 'a'));
    EXPECT_EQ(steps.front(), Sj("1通目 カット部位検索505byte / 510byte"));
    EXPECT_EQ(steps.size(), 2u * 11u); // 505..495 for each part before the last, then 212 fits at once
}

TEST(SplitMessage, LongmailShrinksByAThirdOfTheExcess)
{
    const std::string body(2000, 'a');
    SplitInputs in = Inputs(0, 55, 384, body);
    in.from = std::string(20, 'f');
    in.subject = "";
    std::vector<std::string> steps;
    const SplitResult r = SplitMessage(in, [&](const std::string& s) { steps.push_back(s); });
    ASSERT_TRUE(r.ok);
    const char* expected[] = {"389byte / 472byte", "360byte / 443byte", "341byte / 424byte",
                              "328byte / 411byte", "319byte / 402byte", "313byte / 396byte",
                              "309byte / 392byte", "308byte / 391byte"};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(steps[i], Sj("1通目 カット部位検索") + expected[i]);
    }
    ASSERT_GT(steps.size(), 15u);
    EXPECT_EQ(steps[14], Sj("1通目 カット部位検索301byte / 384byte"));
    EXPECT_EQ(steps[15], Sj("2通目 カット部位検索389byte / 472byte"));
    EXPECT_EQ(Body(r.parts[0]).size(), 300u);
}

TEST(SplitMessage, NeverCutsACharacterInTwo)
{
    // A limit of 16 makes trials that end in the middle of a character.
    const std::string kana = Sj("ゼ"); // 83 5B
    const std::string tricky = Sj("゛"); // 81 4A
    std::string body;
    for (int i = 0; i < 20; ++i) body += (i % 2 ? kana : tricky);
    const SplitResult r = SplitMessage(Inputs(3, 0, 16, body));
    ASSERT_TRUE(r.ok);
    std::string joined;
    for (const std::string& p : r.parts) {
        const std::string b = Body(p);
        EXPECT_EQ(b.size() % 2, 0u) << p;
        EXPECT_EQ(DecodeSjis(b).contains(QChar(0xFFFD)), false);
        joined += b;
    }
    EXPECT_EQ(joined, body.substr(0, joined.size()));
}

TEST(SplitMessage, KeepsTrailBytesWithLeadValuesInTheirCharacter)
{
    // 0x9F and 0xE0 are trail bytes here although they are lead values.
    const std::string body = "\x88\x9f\x90\xe0" + std::string(40, 'x'); // two kanji with trail bytes 9F and E0
    const SplitResult r = SplitMessage(Inputs(3, 0, 12, body));
    ASSERT_TRUE(r.ok);
    std::string joined;
    for (const std::string& p : r.parts) joined += Body(p);
    EXPECT_EQ(joined, body.substr(0, joined.size()));
}

TEST(SplitMessage, StopsAtNineParts)
{
    const std::string body(500, 'a');
    const SplitResult r = SplitMessage(Inputs(3, 0, 20, body));
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.parts.size(), 9u);
    EXPECT_EQ(r.parts[8].substr(0, 5), "[9/9]");
    // What is left out is told, not dropped silently.
    std::size_t sent = 0;
    for (const std::string& p : r.parts) {
        sent += p.size() - 5;
    }
    EXPECT_EQ(r.unsentBytes, body.size() - sent);
    EXPECT_GT(r.unsentBytes, 0u);
    EXPECT_EQ(SplitMessage(Inputs(3, 0, 20, std::string(30, 'a'))).unsentBytes, 0u);
}

TEST(SplitMessage, NumbersTheSubjectInsteadWhenAsked)
{
    const std::string body(500, 'a');
    SplitInputs in = Inputs(0, 55, 384, body);
    const std::string subject = Sj("件名");
    in.subject = subject;
    in.partNumberInSubject = true;
    const SplitResult r = SplitMessage(in);
    ASSERT_EQ(r.parts.size(), 2u);
    EXPECT_EQ(r.parts[0].front(), 'a');
    EXPECT_EQ(r.PartSubject(1), "[1/2]" + Sj("件名"));
    EXPECT_EQ(r.PartSubject(2), "[2/2]" + Sj("件名"));

    in.type = 2; // the PIN subject is left alone; numbering goes into the body
    const SplitResult sky = SplitMessage(in);
    EXPECT_EQ(sky.parts[0].substr(0, 3), "[1/");
    EXPECT_EQ(sky.PartSubject(1), Sj("件名"));
}

TEST(SplitMessage, HalfWidthKanaAreCutAsFullWidth)
{
    const std::string body(10, '\xb6');
    const SplitResult r = SplitMessage(Inputs(3, 0, 12, body));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(Body(r.parts[0]), Sj("カカ")); // 5 + 4 + 2 (ends double-byte) = 11 < 12
}

TEST(SplitMessage, RefusesWhenNothingFits)
{
    SplitInputs in = Inputs(0, 55, 100, "some body text");
    in.from = std::string(60, 'f');
    const SplitResult r = SplitMessage(in);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.parts.empty());
    // One double-byte character that needs more room than there is.
    const std::string kanji = Sj("漢");
    const SplitResult one = SplitMessage(Inputs(3, 0, 8, kanji));
    EXPECT_FALSE(one.ok);
}

} // namespace
} // namespace kitemail
