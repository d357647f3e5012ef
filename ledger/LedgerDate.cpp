#include "LedgerDate.h"

#include <cmath>
#include <cstdint>

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

// Writes value as `width` decimal digits; the caller knows it fits.
char* PutDigits(char* out, unsigned value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
    return out + width;
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
    // Written by hand: a formatted print per trade shows in the import's profile.
    char* out = PutDigits(buffer, unsigned(date.year), 4);
    *out++ = '-';
    out = PutDigits(out, date.month, 2);
    *out++ = '-';
    out = PutDigits(out, date.day, 2);
    if (seconds != 0) {
        *out++ = ' ';
        out = PutDigits(out, unsigned(seconds / 3600), 2);
        *out++ = ':';
        out = PutDigits(out, unsigned(seconds / 60 % 60), 2);
        *out++ = ':';
        out = PutDigits(out, unsigned(seconds % 60), 2);
    }
    *out = '\0';
    return std::size_t(out - buffer);
}
