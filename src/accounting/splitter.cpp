#include "accounting/splitter.h"

#include "accounting/counter.h"
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

// The size of a trial part c by the type's own formula.
std::int64_t TrialTotal(const SplitInputs& in, std::string_view c, std::string_view subject)
{
    const bool ends = in.assumeSingleByteAtEnds;
    const std::int64_t shiftsC = 3 * static_cast<std::int64_t>(CountShiftSequences(c, ends));
    const std::int64_t base = Len(c) + in.fixedLength + kNumberingReserve;
    std::int64_t total = 0;
    switch (in.type) {
    case -1:
        total = base + Len(in.from) + (in.countShiftBytes ? kShiftReserve + shiftsC : 0);
        break;
    case 0:
    case 1:
    case 8:
        total = base + Len(subject) + 3 * static_cast<std::int64_t>(CountShiftSequences(subject, ends))
            + Len(in.from) + kShiftReserve + shiftsC;
        break;
    case 2: total = base + Len(in.from) + kShiftReserve + shiftsC; break;
    case 4:
    case 6:
    case 7: total = base + Len(subject) + Len(in.from); break;
    case 5: total = base + AtPosition(in.from) + Len(subject); break;
    default: total = base; break; // 3 and 9
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
    result.numberInSubject = in.partNumberInSubject && in.type != 2;
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
