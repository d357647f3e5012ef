#include "Conversions.h"

#include "RuntimeError.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Reads an unsigned decimal number of 1 to maxDigits digits at pos.
std::optional<int> ReadNumber(QStringView text, qsizetype& pos, int maxDigits)
{
    int value = 0;
    int digits = 0;
    while (pos < text.size() && IsDigit(text[pos]) && digits < maxDigits) {
        value = value * 10 + (text[pos].unicode() - u'0');
        ++pos;
        ++digits;
    }
    if (digits == 0 || (pos < text.size() && IsDigit(text[pos])))
        return std::nullopt;
    return value;
}

bool Expect(QStringView text, qsizetype& pos, QChar c)
{
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

[[noreturn]] void TypeMismatch() { throw RuntimeError(ERR_TYPE_MISMATCH); }

} // namespace

int32_t CLng(QStringView strText)
{
    const QStringView text = strText.trimmed();
    qsizetype pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-'))
        negative = text[pos++] == u'-';

    // Whole part, with commas as digit grouping; saturates far beyond 32 bits.
    constexpr int64_t saturation = int64_t(1) << 40;
    int64_t whole = 0;
    int digits = 0;
    bool lastWasComma = false;
    for (; pos < text.size(); ++pos) {
        const QChar c = text[pos];
        if (IsDigit(c)) {
            whole = std::min(saturation, whole * 10 + (c.unicode() - u'0'));
            ++digits;
            lastWasComma = false;
        } else if (c == u',' && digits > 0 && !lastWasComma) {
            lastWasComma = true;
        } else {
            break;
        }
    }
    if (lastWasComma)
        TypeMismatch();

    // Fraction: only its first digit and whether anything non-zero follows matter.
    int firstFractionDigit = 0;
    bool restNonZero = false;
    if (pos < text.size() && text[pos] == u'.') {
        ++pos;
        for (int n = 0; pos < text.size() && IsDigit(text[pos]); ++pos, ++n) {
            const int digit = text[pos].unicode() - u'0';
            if (n == 0)
                firstFractionDigit = digit;
            else if (digit != 0)
                restNonZero = true;
            ++digits;
        }
    }
    if (digits == 0 || pos != text.size())
        TypeMismatch();

    // Round half to even.
    if (firstFractionDigit > 5 || (firstFractionDigit == 5 && (restNonZero || whole % 2 == 1)))
        ++whole;
    const int64_t value = negative ? -whole : whole;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        throw RuntimeError(ERR_OVERFLOW);
    return int32_t(value);
}

double CDate(QStringView strText)
{
    const QStringView text = strText.trimmed();
    qsizetype pos = 0;

    const qsizetype yearStart = pos;
    const auto yearValue = ReadNumber(text, pos, 4);
    const qsizetype yearDigits = pos - yearStart;
    if (!yearValue || yearDigits == 1 || yearDigits == 3)
        TypeMismatch();
    int year = *yearValue;
    if (yearDigits == 2)
        year += year < 30 ? 2000 : 1900;
    if (year < 100)
        TypeMismatch();

    int month = 0;
    int day = 0;
    if (pos < text.size() && (text[pos] == u'/' || text[pos] == u'-')) {
        const QChar separator = text[pos++];
        const auto m = ReadNumber(text, pos, 2);
        if (!m || !Expect(text, pos, separator))
            TypeMismatch();
        const auto d = ReadNumber(text, pos, 2);
        if (!d)
            TypeMismatch();
        month = *m;
        day = *d;
    } else if (Expect(text, pos, u'年')) {
        const auto m = ReadNumber(text, pos, 2);
        if (!m || !Expect(text, pos, u'月'))
            TypeMismatch();
        const auto d = ReadNumber(text, pos, 2);
        if (!d || !Expect(text, pos, u'日'))
            TypeMismatch();
        month = *m;
        day = *d;
    } else {
        TypeMismatch();
    }
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        TypeMismatch();

    // Optional time of day after white space: H:MM or H:MM:SS.
    int seconds = 0;
    if (pos < text.size()) {
        const qsizetype spaceStart = pos;
        while (pos < text.size() && text[pos].isSpace())
            ++pos;
        if (pos == spaceStart)
            TypeMismatch();
        const auto h = ReadNumber(text, pos, 2);
        if (!h || !Expect(text, pos, u':'))
            TypeMismatch();
        const auto mi = ReadNumber(text, pos, 2);
        if (!mi)
            TypeMismatch();
        int s = 0;
        if (Expect(text, pos, u':')) {
            const auto sv = ReadNumber(text, pos, 2);
            if (!sv)
                TypeMismatch();
            s = *sv;
        }
        if (pos != text.size() || *h > 23 || *mi > 59 || s > 59)
            TypeMismatch();
        seconds = *h * 3600 + *mi * 60 + s;
    }

    const int64_t days = DaysFromCivil(year, unsigned(month), unsigned(day)) - DaysFromCivil(1899, 12, 30);
    const double fraction = seconds / 86400.0;
    // Before the epoch the time still counts away from it, as OLE dates do.
    return days < 0 ? double(days) - fraction : double(days) + fraction;
}

int32_t MultiplyLong(int32_t a, int32_t b)
{
    const int64_t product = int64_t(a) * int64_t(b);
    if (product < std::numeric_limits<int32_t>::min() || product > std::numeric_limits<int32_t>::max())
        throw RuntimeError(ERR_OVERFLOW);
    return int32_t(product);
}
