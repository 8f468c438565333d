#include "mail/outgoing_mail.h"

#include "platform/program_version.h"
#include "platform/sjis.h"
#include "text/encoders.h"
#include "text/jis.h"
#include "text/text_lines.h"

#include <algorithm>
#include <cstdio>

namespace kitemail {
namespace {

constexpr std::size_t kMaxAttachmentNameBytes = 255;

} // namespace

std::string MailTextFor(std::string_view body)
{
    SjisToJisConverter converter;
    std::string jis;
    converter.Convert(body, true, jis);
    // Decided on the converted text: a body ending in half-width katakana
    // ends in double-byte mode too.
    if (converter.InDoubleByteMode()) {
        jis.append(kEscToAscii);
    }
    std::string out;
    out.reserve(jis.size() + jis.size() / 32 + 8);
    for (const std::string_view line : TextLines(jis)) {
        if (!line.empty() && line.front() == '.') {
            out.push_back('.');
        }
        out.append(line);
        out.append("\r\n");
    }
    return out;
}

std::string MailDate(const LocalTime& t)
{
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Sakamoto's weekday of a Gregorian date, 0 for Sunday.
    static constexpr int kMonthShift[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int month = std::clamp(t.month, 1, 12);
    const int y = t.year - (month < 3 ? 1 : 0);
    const int weekday = (y + y / 4 - y / 100 + y / 400 + kMonthShift[month - 1] + t.day) % 7;
    const int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", kDays[(weekday + 7) % 7], t.day,
                  kMonths[month - 1], t.year, t.hour, t.minute, t.second, t.utcOffsetMinutes < 0 ? '-' : '+',
                  offset / 60 % 100, offset % 60);
    return buf;
}

std::vector<std::string> MailHeaders(std::string_view messageId, std::string_view replyTo)
{
    return {"X-Mailer: Kitemail Pro Version " + std::string(ProgramVersion),
            "Message-ID: <" + std::string(messageId) + ">", "Reply-To: " + std::string(replyTo)};
}

AttachmentRecord AttachmentRecordFor(const std::string& path, bool animation)
{
    const std::size_t slash = path.rfind('/');
    AttachmentRecord record;
    const std::string encoded = EncodeJisHeader(slash == std::string::npos ? path : path.substr(slash + 1));
    record.name = std::string(sjis::CutToWholeCharacters(encoded, kMaxAttachmentNameBytes));
    record.AttachmentEncoding = kEncodingBase64;
    record.contentType = animation ? "image/mtn" : "application/octet-stream";
    // The full path: a cut one would name another file or none.
    record.fileName = path;
    return record;
}

} // namespace kitemail
