#pragma once
// Local date and time, replaceable in tests.

#include <functional>
#include <string>

namespace kitemail {

struct LocalTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0;
    int second = 0;
    int utcOffsetMinutes = 0; // east of UTC: +540 for Japan
    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

[[nodiscard]] LocalTime LocalNow();

// Replaces the clock until reset with an empty function.
void SetClockForTesting(std::function<LocalTime()> clock);

// "yyyymmddhhnnss".
[[nodiscard]] std::string FormatStamp(const LocalTime& t);

} // namespace kitemail
