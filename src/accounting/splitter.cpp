#include "accounting/splitter.h"

#include "accounting/counter.h"
#include "accounting/terminal_type.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "text/jis.h"

namespace kitemail {
namespace {

constexpr std::int64_t kNumberingReserve = 5; // "[i/n]" with one-digit i and n
constexpr std::int64_t kShiftReserve = 3;

std::int64_t Len(std::string_view s)
{
    return static_cast<std::int64_t>(s.size());
}

std::int64_t AtPosition(std::string_view from)
{
    const std::size_t at = from.find('@');
    return at == std::string_view::npos ? 0 : static_cast<std::int64_t>(at + 1);
}

// What the cut search's formula adds to a trial part's own bytes. It is
// close to the counter's: the sender is the From address, uncapped; the
// subject is never capped, and the unspecified type leaves it out; every
// part reserves room for its numbering and, where shift bytes count, for one
// more shift.
struct TrialWeights {
    std::int64_t overhead = 0; // all but the part's bytes, shifts and final 2
    bool shifts = false;       // the part's shift sequences count, 3 each
};

TrialWeights WeightsOf(const SplitInputs& in, std::string_view subject)
{
    const CountTerms terms = in.types.Rules(in.type).counts;
    TrialWeights w;
    w.shifts = terms.shiftBytes == ShiftBytes::Always
        || (terms.shiftBytes == ShiftBytes::WhenCountShiftBytes && in.countShiftBytes);
    w.overhead = in.fixedLength + kNumberingReserve;
    switch (terms.sender) {
    case SenderTerm::None: break;
    case SenderTerm::Whole:
    case SenderTerm::CappedAt55: w.overhead += Len(in.from); break;
    case SenderTerm::UpToAt: w.overhead += AtPosition(in.from); break;
    }
    if (terms.subject != SubjectTerm::None && in.type != TerminalType::Unspecified) {
        w.overhead += Len(subject);
        if (w.shifts) {
            w.overhead += 3 * static_cast<std::int64_t>(CountShiftSequences(subject, in.assumeSingleByteAtEnds));
        }
    }
    if (w.shifts) {
        w.overhead += kShiftReserve;
    }
    return w;
}

// The part-dependent rest: its bytes, its shifts, and 2 when it ends with a
// double-byte character.
std::int64_t PartWeight(const TrialWeights& w, std::int64_t bytes, std::int32_t shifts, bool endsDoubleByte)
{
    return bytes + (w.shifts ? 3 * static_cast<std::int64_t>(shifts) : 0) + (endsDoubleByte ? 2 : 0);
}

std::int64_t TrialTotal(const SplitInputs& in, std::string_view c, std::string_view subject)
{
    const TrialWeights w = WeightsOf(in, subject);
    return w.overhead
        + PartWeight(w, Len(c), CountShiftSequences(c, in.assumeSingleByteAtEnds), sjis::EndsWithDoubleByte(c));
}

std::string SearchStatus(std::size_t part, std::int64_t len, std::int64_t total)
{
    std::string s = std::to_string(part);
    s += Sj("通目 カット部位検索");
    s += std::to_string(len);
    s += "byte / ";
    s += std::to_string(total);
    s += "byte";
    return s;
}

std::string Numbering(std::size_t i, std::string_view n)
{
    std::string s = "[";
    s += std::to_string(i);
    s += '/';
    s += n;
    s += ']';
    return s;
}

} // namespace

std::int64_t TrialPartSize(const SplitInputs& in, std::string_view part, std::string_view subject)
{
    return TrialTotal(in, part, subject);
}

std::size_t BodyBytesThatFit(const SplitInputs& in)
{
    const TrialWeights w = WeightsOf(in, NormalizeText(in.subject));
    const std::int64_t limit = in.maxLength;
    const std::string_view body = in.body;
    // Walk the body as given a character at a time, keeping what the formula
    // needs of the normalised beginning so far: a half-width kana (with the
    // sound mark it absorbs) is one double-byte character there.
    std::int64_t bytes = 0;
    std::int32_t inner = 0; // changes between neighbouring marks
    int first = 0;
    int last = 0;
    const auto fitsWith = [&](std::int64_t moreBytes, int mark, bool endsDoubleByte) {
        const std::int32_t shifts = inner + (last != 0 && last != mark ? 1 : 0)
            + (in.assumeSingleByteAtEnds ? ((first == 0 ? mark : first) == 2 ? 1 : 0) + (mark == 2 ? 1 : 0) : 0);
        return w.overhead + PartWeight(w, bytes + moreBytes, shifts, endsDoubleByte) < limit;
    };
    std::size_t fits = 0;
    std::size_t i = 0;
    while (i < body.size() && w.overhead + bytes < limit) {
        const std::size_t start = i;
        int mark = 1;
        if (sjis::IsHankakuKana(body[i])) {
            (void)HankakuToJis(body, i);
            mark = 2;
        } else if (sjis::IsLeadByte(body[i]) && i + 1 < body.size()) {
            i += 2;
            mark = 2;
        } else {
            ++i;
        }
        // The search also tries a length that ends inside a double-byte
        // character (the lead byte weighed as a single-byte one) and, when
        // that fits, cuts before the character.
        if (mark == 2 && fitsWith(1, 1, false)) {
            fits = start;
        }
        if (fitsWith(mark, mark, mark == 2)) {
            fits = i;
        }
        bytes += mark;
        inner += last != 0 && last != mark ? 1 : 0;
        first = first == 0 ? mark : first;
        last = mark;
    }
    return fits;
}

std::string SplitResult::PartSubject(std::size_t i) const
{
    if (!numberInSubject) {
        return subject;
    }
    return Numbering(i, std::to_string(parts.size())) + subject;
}

SplitResult SplitMessage(const SplitInputs& in, const SplitProgress& progress)
{
    SplitResult result;
    const std::string body = NormalizeText(in.body);
    result.subject = NormalizeText(in.subject);
    result.numberInSubject = in.partNumberInSubject && !in.types.Rules(in.type).pinAsSubject;
    const std::int64_t limit = in.maxLength;
    const std::int64_t fullTrial = limit + kNumberingReserve;

    std::size_t pos = 0; // 0-based start of the next part
    std::int64_t len = fullTrial;
    while (pos < body.size() && result.parts.size() < kMaxSplitParts) {
        if (len <= 0) {
            // Sender, subject and overhead leave no room for the body.
            result.ok = false;
            result.parts.clear();
            return result;
        }
        const std::string_view rest = std::string_view(body).substr(pos);
        const std::string_view c = rest.substr(0, static_cast<std::size_t>(len));
        const std::int64_t total = TrialTotal(in, c, result.subject);
        if (total >= limit) {
            if (progress) {
                progress(SearchStatus(result.parts.size() + 1, len, total));
            }
            const std::int64_t over = total - limit;
            len -= over > 10 ? over / 3 : 1;
            continue;
        }
        // Never cut between the two bytes of a character. Classes are taken
        // from the start of the text: a trail byte may have a lead byte's value.
        auto cut = static_cast<std::size_t>(len);
        if (cut <= rest.size() && sjis::ClassAt(body, pos + cut - 1) == sjis::ByteClass::Lead) {
            --cut;
        }
        if (cut == 0) {
            result.ok = false;
            result.parts.clear();
            return result;
        }
        std::string part = result.numberInSubject ? std::string() : Numbering(result.parts.size() + 1, "");
        part.append(rest.substr(0, cut));
        result.parts.push_back(std::move(part));
        pos += std::min(cut, rest.size());
        len = fullTrial;
    }
    result.unsentBytes = body.size() - std::min(pos, body.size());
    if (!result.numberInSubject) {
        const std::string n = std::to_string(result.parts.size());
        for (std::string& part : result.parts) {
            part.insert(part.find('/') + 1, n);
        }
    }
    return result;
}

} // namespace kitemail
