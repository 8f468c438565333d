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

// What the counter needs to know of N(x), the text after the trip to
// ISO-2022-JP and back.
struct Measure {
    std::int64_t length = 0;
    std::int32_t shifts = 0;
    bool endsWithDoubleByte = false;
};

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

// The literal definition: convert there and back, then mark N(x).
Measure MeasureByConversion(std::string_view text, bool singleAtEnds)
{
    const std::string normalized = NormalizeText(text);
    return {static_cast<std::int64_t>(normalized.size()), CountShiftSequences(normalized, singleAtEnds),
            sjis::EndsWithDoubleByte(normalized)};
}

// The same result in one pass without building N(x). For well-formed text the
// round trip leaves every double-byte character as it is and turns each
// half-width katakana (with a sound mark it absorbs) into one double-byte
// character. Anything else (stray bytes, broken pairs, ESC) takes the literal
// road.
Measure MeasureNormalized(std::string_view text, bool singleAtEnds)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    TransitionCounter marks(singleAtEnds);
    Measure m;
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
            m.length += static_cast<std::int64_t>(j - i);
            i = j;
            continue;
        }
        if (sjis::IsHankakuKana(c)) {
            std::size_t pos = i;
            (void)HankakuToJis(text, pos);
            i = pos;
        } else if (sjis::IsLeadByte(c) && i + 1 < n && IsCleanTrail(p[i + 1])) {
            i += 2;
        } else {
            return MeasureByConversion(text, singleAtEnds);
        }
        marks.Mark(2);
        lastMark = 2;
        m.length += 2;
    }
    m.shifts = marks.Finish();
    m.endsWithDoubleByte = lastMark == 2;
    return m;
}

bool IsSingleByteCharacter(std::string_view text, std::size_t i) noexcept
{
    return !sjis::IsLeadByte(text[i]) || i + 1 >= text.size();
}

std::int64_t ShiftBytesOf(const Measure& m)
{
    return 3 * static_cast<std::int64_t>(m.shifts);
}

std::int32_t Saturate(std::int64_t v) noexcept
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

struct AttachmentTotals {
    std::int64_t sizes = 0;      // file sizes alone
    std::int64_t withPaths = 0;  // size + path length + 20 each
};

bool SumAttachments(std::span<const std::string> paths, AttachmentTotals& totals, CountResult& result)
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
        totals.sizes += size;
        totals.withPaths += size + static_cast<std::int64_t>(path.size()) + 20;
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

CountResult CountMessageSize(const CountInputs& in)
{
    CountResult result;
    const CountTerms terms = TerminalTypeRow(in.type).counts;
    const bool ends = in.options.AssumeSingleByteAtEnds;
    const Measure body = MeasureNormalized(in.body, ends);
    const Measure subject = MeasureNormalized(in.subject, ends);
    const bool shifts = terms.shiftBytes == ShiftBytes::Always
        || (terms.shiftBytes == ShiftBytes::WhenCountShiftBytes && in.options.CountShiftBytes);

    AttachmentTotals att;
    if (terms.attachments != AttachmentTerm::None && !SumAttachments(in.attachments, att, result)) {
        return result;
    }

    std::int64_t count = in.fixedLength;
    const auto senderLength = static_cast<std::int64_t>(in.sender.size());
    switch (terms.sender) {
    case SenderTerm::None: break;
    case SenderTerm::Whole: count += senderLength; break;
    case SenderTerm::CappedAt55: count += std::min<std::int64_t>(senderLength, 55); break;
    case SenderTerm::UpToAt: count += CmailSenderTerm(in.sender); break;
    }
    switch (terms.subject) {
    case SubjectTerm::None: break;
    case SubjectTerm::Plain: count += subject.length + (shifts ? ShiftBytesOf(subject) : 0); break;
    case SubjectTerm::CappedAt40: count += subject.length > 40 ? 40 : subject.length + ShiftBytesOf(subject); break;
    }
    count += body.length + (shifts ? ShiftBytesOf(body) : 0);
    switch (terms.attachments) {
    case AttachmentTerm::None: break;
    case AttachmentTerm::Sizes: count += att.sizes; break;
    case AttachmentTerm::SizesAndPaths: count += att.withPaths; break;
    }
    if (in.options.CountFinalLineBreakShift && body.endsWithDoubleByte) {
        count += 2;
    }
    result.count = Saturate(count);
    return result;
}

} // namespace kitemail
