// The cut search and the numbering of split parts; the steps of the cut
// search are a walk (walks_test, split_steps).

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
