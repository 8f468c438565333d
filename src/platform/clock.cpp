#include "platform/clock.h"

#include <cstdio>
#include <ctime>

namespace kitemail {
namespace {

std::function<LocalTime()>& TestClock()
{
    static std::function<LocalTime()> clock;
    return clock;
}

} // namespace

LocalTime LocalNow()
{
    if (TestClock()) {
        return TestClock()();
    }
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
            static_cast<int>(tm.tm_gmtoff / 60)};
}

void SetClockForTesting(std::function<LocalTime()> clock)
{
    TestClock() = std::move(clock);
}

std::string FormatStamp(const LocalTime& t)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

} // namespace kitemail
