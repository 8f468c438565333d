#include "accounting/counter.h"

#include "accounting/terminal_type.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "text/jis.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace kitemail {
namespace {

bool IsCleanTrail(unsigned char t) noexcept
{
    return t >= 0x40 && t <= 0xFC && t != 0x7F;
}

// Marks: 1 for a single-byte character, 2 for a double-byte one. Counts the
// changes between neighbouring marks, with a virtual 1 at each end when
// asked to.
class TransitionCounter {
public:
    explicit TransitionCounter(bool singleAtEnds) noexcept : last_(singleAtEnds ? 1 : 0), ends_(singleAtEnds) {}

    void Mark(int m) noexcept
    {
        if (last_ != 0 && last_ != m) {
            ++count_;
        }
        last_ = m;
    }

    [[nodiscard]] std::int32_t Finish() noexcept
    {
        if (ends_) {
            Mark(1);
        }
        return count_;
    }

private:
    int last_;
    bool ends_;
    std::int32_t count_ = 0;
};

// A half-width katakana at text[i], with the sound mark it absorbs: one
// double-byte character in N(x). Moves i past it.
void WidenKana(std::string_view text, std::size_t& i, TextMeasure& m) noexcept
{
    const std::size_t start = i;
    (void)HankakuToJis(text, i);
    m.widenedKana += static_cast<std::int32_t>(i - start);
    m.widenedBytes += 2 - static_cast<std::int64_t>(i - start);
}

// The literal definition: convert there and back, then mark N(x).
TextMeasure MeasureByConversion(std::string_view text, bool singleAtEnds)
{
    const std::string normalized = NormalizeText(text);
    TextMeasure m;
    m.bytes = static_cast<std::int64_t>(normalized.size());
    m.shifts = CountShiftSequences(normalized, singleAtEnds);
    m.endsWithDoubleByte = sjis::EndsWithDoubleByte(normalized);
    // Which half-width kana became full-width, as the characters are walked.
    for (std::size_t i = 0; i < text.size();) {
        if (sjis::IsLeadByte(text[i])) {
            i += 2;
        } else if (sjis::IsHankakuKana(text[i])) {
            WidenKana(text, i, m);
        } else {
            ++i;
        }
    }
    return m;
}

// The same result in one pass without building N(x). For well-formed text the
// round trip leaves every double-byte character as it is and turns each
// half-width katakana (with a sound mark it absorbs) into one double-byte
// character. Anything else (stray bytes, broken pairs, ESC) takes the literal
// road.
TextMeasure MeasureNormalized(std::string_view text, bool singleAtEnds)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    TransitionCounter marks(singleAtEnds);
    TextMeasure m;
    std::size_t i = 0;
    int lastMark = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            std::size_t j = i;
            while (j < n && p[j] < 0x80) {
                if (p[j] == 0x1B) {
                    // An ESC typed into the text is read as an escape on the
                    // way back from ISO-2022-JP.
                    return MeasureByConversion(text, singleAtEnds);
                }
                ++j;
            }
            marks.Mark(1);
            lastMark = 1;
            m.bytes += static_cast<std::int64_t>(j - i);
            i = j;
            continue;
        }
        if (sjis::IsHankakuKana(c)) {
            WidenKana(text, i, m);
        } else if (sjis::IsLeadByte(c) && i + 1 < n && IsCleanTrail(p[i + 1])) {
            i += 2;
        } else {
            return MeasureByConversion(text, singleAtEnds);
        }
        marks.Mark(2);
        lastMark = 2;
        m.bytes += 2;
    }
    m.shifts = marks.Finish();
    m.endsWithDoubleByte = lastMark == 2;
    return m;
}

bool IsSingleByteCharacter(std::string_view text, std::size_t i) noexcept
{
    return !sjis::IsLeadByte(text[i]) || i + 1 >= text.size();
}

std::int32_t Saturate(std::int64_t v) noexcept
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool MeasureAttachments(std::span<const std::string> paths, AttachmentTerm rule, MessageTerms& terms,
                        CountResult& result)
{
    for (const std::string& path : paths) {
        std::int64_t size = 0;
        std::string problem = AttachmentProblem(path, &size);
        if (!problem.empty()) {
            result.ok = false;
            result.failedPath = path;
            result.error = std::move(problem);
            return false;
        }
        const bool withPath = rule == AttachmentTerm::SizesAndPaths;
        terms.attachments.push_back(
            {path, size, withPath ? static_cast<std::int64_t>(path.size()) : 0, withPath ? 20 : 0});
    }
    return true;
}

std::int64_t CmailSenderTerm(std::string_view sender)
{
    const std::size_t at = sender.find('@');
    return at == std::string_view::npos ? 0 : static_cast<std::int64_t>(at + 1);
}

} // namespace

std::int32_t CountShiftSequences(std::string_view text, bool assumeSingleByteAtEnds) noexcept
{
    TransitionCounter marks(assumeSingleByteAtEnds);
    std::size_t i = 0;
    while (i < text.size()) {
        const bool single = IsSingleByteCharacter(text, i);
        marks.Mark(single ? 1 : 2);
        i += single ? 1 : 2;
    }
    return marks.Finish();
}

std::string AttachmentProblem(const std::string& sjisPath, std::int64_t* size)
{
    // Opened without blocking: opening a pipe would wait for a writer.
    const int fd = ::open(SjisToUtf8(sjisPath).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    std::string reason;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        reason = Utf8ToSjis(std::strerror(errno)).bytes;
    } else if (S_ISDIR(st.st_mode)) {
        reason = Utf8ToSjis(std::strerror(EISDIR)).bytes;
    } else if (!S_ISREG(st.st_mode)) {
        reason = Sj("通常のファイルではありません");
    } else if (size != nullptr) {
        *size = st.st_size;
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return reason.empty() ? reason : sjisPath + Sj(" を開けません: ") + reason;
}

std::int64_t MessageTerms::Sum() const noexcept
{
    std::int64_t sum = fixed + sender + subject + body.bytes + body.shiftBytes + finalBreak;
    for (const AttachmentMeasure& a : attachments) {
        sum += a.Term();
    }
    return sum;
}

// The count is the sum of its terms: one computation, so the two can never
// tell different stories.
CountResult CountMessageSize(const CountInputs& in)
{
    CountResult result;
    MessageTerms& t = result.terms;
    t.rules = in.types.Rules(in.type).counts;
    const bool ends = in.options.AssumeSingleByteAtEnds;
    const bool shifts = t.rules.shiftBytes == ShiftBytes::Always
        || (t.rules.shiftBytes == ShiftBytes::WhenCountShiftBytes && in.options.CountShiftBytes);

    if (t.rules.attachments != AttachmentTerm::None
        && !MeasureAttachments(in.attachments, t.rules.attachments, t, result)) {
        return result;
    }

    t.fixed = in.fixedLength;
    t.senderLength = static_cast<std::int64_t>(in.sender.size());
    switch (t.rules.sender) {
    case SenderTerm::None: break;
    case SenderTerm::Whole: t.sender = t.senderLength; break;
    case SenderTerm::CappedAt55: t.sender = std::min<std::int64_t>(t.senderLength, 55); break;
    case SenderTerm::UpToAt: t.sender = CmailSenderTerm(in.sender); break;
    }

    t.subjectText = MeasureNormalized(in.subject, ends);
    TextMeasure& subject = t.subjectText;
    switch (t.rules.subject) {
    case SubjectTerm::None: break;
    case SubjectTerm::Plain:
        subject.shiftBytes = shifts ? 3 * static_cast<std::int64_t>(subject.shifts) : 0;
        t.subject = subject.bytes + subject.shiftBytes;
        break;
    case SubjectTerm::CappedAt40:
        t.subjectFlat40 = subject.bytes > 40;
        subject.shiftBytes = t.subjectFlat40 ? 0 : 3 * static_cast<std::int64_t>(subject.shifts);
        t.subject = t.subjectFlat40 ? 40 : subject.bytes + subject.shiftBytes;
        break;
    }

    t.body = MeasureNormalized(in.body, ends);
    t.body.shiftBytes = shifts ? 3 * static_cast<std::int64_t>(t.body.shifts) : 0;
    t.finalBreak = t.rules.finalLineBreak && in.options.CountFinalLineBreakShift && t.body.endsWithDoubleByte ? 2 : 0;
    result.count = Saturate(t.Sum());
    return result;
}

} // namespace kitemail
