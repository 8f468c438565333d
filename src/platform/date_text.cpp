#include "platform/date_text.h"

#include <QDate>
#include <QTime>

namespace kitemail {
namespace {

QString TimeFormatWithoutZone(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        }
        if (!quoted && c == QLatin1Char('t')) {
            continue;
        }
        out += c;
    }
    return out.trimmed();
}

QString DateText(const LocalTime& t, const QLocale& locale)
{
    return locale.toString(QDate(t.year, t.month, t.day), QLocale::ShortFormat);
}

} // namespace

QString LocaleDateTimeText(const LocalTime& t, const QLocale& locale)
{
    return DateText(t, locale) + QLatin1Char(' ') +
           locale.toString(QTime(t.hour, t.minute, t.second), TimeFormatWithoutZone(locale));
}

QString DateInsertText(const LocalTime& t, const QLocale& locale)
{
    if (t.hour == 0 && t.minute == 0 && t.second == 0) {
        return DateText(t, locale);
    }
    return LocaleDateTimeText(t, locale);
}

} // namespace kitemail
