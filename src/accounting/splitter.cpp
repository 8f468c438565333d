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

// The size of a trial part c by the cut search's own formula, close to the
// counter's: the sender is the From address, uncapped; the subject is never
// capped, and the unspecified type leaves it out; every part reserves room
// for its numbering and, where shift bytes count, for one more shift.
std::int64_t TrialTotal(const SplitInputs& in, std::string_view c, std::string_view subject)
{
    const bool ends = in.assumeSingleByteAtEnds;
    const CountTerms terms = TerminalTypeRow(in.type).counts;
    const bool shifts = terms.shiftBytes == ShiftBytes::Always
        || (terms.shiftBytes == ShiftBytes::WhenCountShiftBytes && in.countShiftBytes);
    const auto shiftBytes = [ends](std::string_view text) {
        return 3 * static_cast<std::int64_t>(CountShiftSequences(text, ends));
    };
    std::int64_t total = Len(c) + in.fixedLength + kNumberingReserve;
    switch (terms.sender) {
    case SenderTerm::None: break;
    case SenderTerm::Whole:
    case SenderTerm::CappedAt55: total += Len(in.from); break;
    case SenderTerm::UpToAt: total += AtPosition(in.from); break;
    }
    if (terms.subject != SubjectTerm::None && in.type != TerminalType::Unspecified) {
        total += Len(subject) + (shifts ? shiftBytes(subject) : 0);
    }
    if (shifts) {
        total += kShiftReserve + shiftBytes(c);
    }
    if (sjis::EndsWithDoubleByte(c)) {
        total += 2;
    }
    return total;
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
    result.numberInSubject = in.partNumberInSubject && !TerminalTypeRow(in.type).pinAsSubject;
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
