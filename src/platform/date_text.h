#pragma once
// Dates and times in the user's own formats, as Qt reads them from the
// locale: the clock of the status line and the date the body takes.

#include "platform/clock.h"

#include <QLocale>
#include <QString>

namespace kitemail {

// The locale's short date, a blank and its long time without the time-zone
// field (a time in the user's own zone needs none).
[[nodiscard]] QString LocaleDateTimeText(const LocalTime& t, const QLocale& locale = QLocale());

// What "日時" puts into the body: as above, but the date alone at exactly
// midnight (a date of a day, not a moment).
[[nodiscard]] QString DateInsertText(const LocalTime& t, const QLocale& locale = QLocale());

} // namespace kitemail
