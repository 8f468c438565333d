// The count's terms against random messages, and how much of a body a first
// part of a split holds (the terms of single messages: counter_test).

#include "accounting/counter.h"
#include "accounting/splitter.h"
#include "accounting/terminal_type.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "temp_dir.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <random>

namespace kitemail::count_terms {
namespace {

// Characters of a body as given: a half-width kana with the sound mark it
// absorbs is one; the cut may fall only between characters.
std::vector<std::size_t> Boundaries(std::string_view body)
{
    std::vector<std::size_t> b = {0};
    for (std::size_t i = 0; i < body.size();) {
        if (static_cast<unsigned char>(body[i]) >= 0xA1 && static_cast<unsigned char>(body[i]) <= 0xDF) {
            (void)HankakuToJis(body, i);
        } else {
            i += static_cast<unsigned char>(body[i]) >= 0x81 ? 2 : 1;
        }
        b.push_back(std::min(i, body.size()));
    }
    return b;
}

// Random messages for every type and option: the terms sum to the count, the
// texts' terms are those of the text converted there and back, and the body
// bytes that fit are the longest beginning the cut search would take.
TEST(CountTerms, SumToTheCountAndFitsIsTheLongestBeginningThatFits)
{
    test::TempDir dir;
    const std::vector<std::string> files = {dir.Write("a.bin", std::string(300, 'z')).string(),
                                            dir.Write("b.jpg", "").string()};
    std::mt19937 rng(25);
    const std::string alphabet[] = {"a", "\r\n", Sj("漢"), Sj("ソ"), "\xb6", "\xde", "\xdf", "\xca", "\xb1", "\xa4"};
    const auto text = [&](unsigned most) {
        std::string s;
        for (auto i = rng() % (most + 1); i > 0; --i) {
            s += alphabet[rng() % std::size(alphabet)];
        }
        return s;
    };
    for (int round = 0; round < 4000; ++round) {
        const TerminalType type = TerminalTypeFromNumber(static_cast<std::int32_t>(rng() % 11) - 1);
        const std::string body = text(40), subject = text(25), sender = text(8) + "@" + text(3);
        CountInputs in;
        in.body = body;
        in.subject = subject;
        in.sender = sender;
        in.type = type;
        in.fixedLength = static_cast<std::int32_t>(rng() % 60);
        in.options = {(rng() & 1) != 0, (rng() & 2) != 0, (rng() & 4) != 0};
        in.attachments = std::span(files).first(rng() % 3);
        const CountResult c = CountMessageSize(in);
        ASSERT_TRUE(c.ok);
        ASSERT_EQ(c.terms.Sum(), c.count);
        for (const auto& [given, measured] : {std::pair{body, c.terms.body}, std::pair{subject, c.terms.subjectText}}) {
            const std::string n = NormalizeText(given);
            ASSERT_EQ(measured.bytes, static_cast<std::int64_t>(n.size()));
            ASSERT_EQ(measured.bytes - measured.widenedBytes, static_cast<std::int64_t>(given.size()));
            ASSERT_EQ(measured.shifts, CountShiftSequences(n, in.options.AssumeSingleByteAtEnds));
        }

        SplitInputs split;
        split.body = body;
        split.subject = subject;
        split.from = sender;
        split.type = type;
        split.fixedLength = in.fixedLength;
        split.maxLength = static_cast<std::int32_t>(rng() % 160);
        split.countShiftBytes = in.options.CountShiftBytes;
        split.assumeSingleByteAtEnds = in.options.AssumeSingleByteAtEnds;
        const std::size_t fits = BodyBytesThatFit(split);
        // The search weighs a cut before a double-byte character also as
        // the length that ends on its lead byte.
        const std::string n = NormalizeText(body), nSubject = NormalizeText(subject);
        const auto fitting = [&](std::size_t bytes) {
            const std::size_t k = NormalizeText(body.substr(0, bytes)).size();
            const auto under = [&](std::size_t len) { return TrialPartSize(split, n.substr(0, len), nSubject) < split.maxLength; };
            return under(k) || (k < n.size() && sjis::ClassAt(n, k) == sjis::ByteClass::Lead && under(k + 1));
        };
        const std::vector<std::size_t> cuts = Boundaries(body);
        SCOPED_TRACE(::testing::PrintToString(body) + " fits " + std::to_string(fits));
        ASSERT_TRUE(std::ranges::find(cuts, fits) != cuts.end());
        ASSERT_TRUE(fits == 0 || fitting(fits));
        for (const std::size_t longer : cuts) {
            ASSERT_TRUE(longer <= fits || !fitting(longer)) << longer;
        }
    }
}

} // namespace
} // namespace kitemail::count_terms
