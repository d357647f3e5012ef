#include "LedgerDate.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

// The range of an OLE Automation date: 100-01-01 to 9999-12-31.
constexpr int64_t kFirstDay = -657434;
constexpr int64_t kLastDay = 2958465;
constexpr int64_t kDaysFrom1899To1970 = 25569;
constexpr int64_t kSecondsPerDay = 86400;

struct CivilDate {
    int64_t year;
    unsigned month;
    unsigned day;
};

// Proleptic Gregorian date of a day count from 1970-01-01 (H. Hinnant's
// days_from_civil inverse).
CivilDate CivilFromDays(int64_t z)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int64_t>(yoe) + era * 400 + (month <= 2), month, day};
}

}  // namespace

std::size_t FormatLedgerDate(double dtmValue, char (&buffer)[kLedgerDateBufferSize])
{
    if (!std::isfinite(dtmValue) || dtmValue <= double(kFirstDay - 1) || dtmValue >= double(kLastDay + 1))
        return 0;
    const double whole = std::trunc(dtmValue);
    auto days = static_cast<int64_t>(whole);
    auto seconds = static_cast<int64_t>(std::llround(std::fabs(dtmValue - whole) * double(kSecondsPerDay)));
    if (seconds >= kSecondsPerDay) {
        // Rounded up to midnight: the next calendar day, for either sign.
        seconds -= kSecondsPerDay;
        ++days;
    }
    if (days < kFirstDay || days > kLastDay)
        return 0;

    const CivilDate date = CivilFromDays(days - kDaysFrom1899To1970);
    int written;
    if (seconds == 0) {
        written = std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", int(date.year), date.month, date.day);
    } else {
        written = std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02d:%02d:%02d", int(date.year),
                                date.month, date.day, int(seconds / 3600), int(seconds / 60 % 60),
                                int(seconds % 60));
    }
    return written > 0 ? std::size_t(written) : 0;
}
