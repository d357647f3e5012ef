#include "Conversions.h"

#include "RuntimeError.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

// Clerks type on Japanese input methods, which give full-width digits and
// punctuation; those are read as their ASCII forms. Only "+,-./0123456789:"
// is folded: the full-width backslash is no yen sign, and full-width letters
// matter only as era letters.
class HalfWidthText {
public:
    explicit HalfWidthText(QStringView text) : m_text(text) { }

    qsizetype size() const { return m_text.size(); }

    QChar operator[](qsizetype pos) const
    {
        const char16_t c = m_text[pos].unicode();
        return c >= u'＋' && c <= u'：' ? QChar(char16_t(c - (u'＋' - u'+'))) : QChar(c);
    }

private:
    QStringView m_text;
};

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Reads an unsigned decimal number of 1 to maxDigits digits at pos.
std::optional<int> ReadNumber(const HalfWidthText& text, qsizetype& pos, int maxDigits)
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

bool Expect(const HalfWidthText& text, qsizetype& pos, QChar c)
{
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

[[noreturn]] void TypeMismatch() { throw RuntimeError(ERR_TYPE_MISMATCH); }

// An optional sign at pos; the accounting marks △ and ▲ and U+2212 are minus too.
bool ReadSign(const HalfWidthText& text, qsizetype& pos, bool& negative)
{
    if (pos >= text.size())
        return false;
    const QChar c = text[pos];
    if (c == u'+' || c == u'-' || c == u'\u2212' || c == u'△' || c == u'▲') {
        negative = c != u'+';
        ++pos;
        return true;
    }
    return false;
}

// Code page 932 shows the yen sign at the backslash's place.
bool IsYenSign(QChar c) { return c == u'¥' || c == u'￥' || c == u'\\'; }

struct CivilDate {
    int year = 0;
    int month = 0;
    int day = 0;

    int Key() const { return (year * 100 + month) * 100 + day; }
};

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

struct JapaneseEra {
    char16_t name[2];
    char16_t letter;
    CivilDate first;
    CivilDate last;  // year 0: the era has not ended
};

// Meiji counts from its first Gregorian day; its early years ran on the old
// lunar calendar, which is not read.
constexpr JapaneseEra japaneseEras[] = {
    {{u'明', u'治'}, u'M', {1868, 9, 8}, {1912, 7, 29}},  {{u'大', u'正'}, u'T', {1912, 7, 30}, {1926, 12, 24}},
    {{u'昭', u'和'}, u'S', {1926, 12, 25}, {1989, 1, 7}}, {{u'平', u'成'}, u'H', {1989, 1, 8}, {2019, 4, 30}},
    {{u'令', u'和'}, u'R', {2019, 5, 1}, {0, 0, 0}},
};

const JapaneseEra* EraNamed(const HalfWidthText& text, qsizetype pos)
{
    if (pos + 1 >= text.size())
        return nullptr;
    for (const JapaneseEra& era : japaneseEras) {
        if (text[pos] == era.name[0] && text[pos + 1] == era.name[1])
            return &era;
    }
    return nullptr;
}

const JapaneseEra* EraLettered(const HalfWidthText& text, qsizetype pos)
{
    if (pos >= text.size())
        return nullptr;
    char16_t c = text[pos].unicode();
    if ((c >= u'Ａ' && c <= u'Ｚ') || (c >= u'ａ' && c <= u'ｚ'))
        c = char16_t(c - (u'Ａ' - u'A'));
    if (c >= u'a' && c <= u'z')
        c = char16_t(c - (u'a' - u'A'));
    for (const JapaneseEra& era : japaneseEras) {
        if (c == era.letter)
            return &era;
    }
    return nullptr;
}

bool IsValidDate(const CivilDate& date)
{
    return date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= DaysInMonth(date.year, date.month);
}

// Month and day after the year, "/1/5": one of the separators, used twice.
std::optional<CivilDate> ReadMonthAndDay(const HalfWidthText& text, qsizetype& pos, QStringView separators)
{
    if (pos >= text.size() || !separators.contains(text[pos]))
        return std::nullopt;
    const QChar separator = text[pos++];
    const auto m = ReadNumber(text, pos, 2);
    if (!m || !Expect(text, pos, separator))
        return std::nullopt;
    const auto d = ReadNumber(text, pos, 2);
    if (!d)
        return std::nullopt;
    return CivilDate{0, *m, *d};
}

// Month and day after 年: "1月5日".
std::optional<CivilDate> ReadKanjiMonthAndDay(const HalfWidthText& text, qsizetype& pos)
{
    const auto m = ReadNumber(text, pos, 2);
    if (!m || !Expect(text, pos, u'月'))
        return std::nullopt;
    const auto d = ReadNumber(text, pos, 2);
    if (!d || !Expect(text, pos, u'日'))
        return std::nullopt;
    return CivilDate{0, *m, *d};
}

// 2024/1/5, 24-1-5, 2024年1月5日.
CivilDate ReadGregorianDate(const HalfWidthText& text, qsizetype& pos)
{
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

    const auto monthAndDay = Expect(text, pos, u'年') ? ReadKanjiMonthAndDay(text, pos)
                                                      : ReadMonthAndDay(text, pos, u"/-");
    if (!monthAndDay)
        TypeMismatch();
    return CivilDate{year, monthAndDay->month, monthAndDay->day};
}

// 令和6年1月5日, 令和元年5月1日, R6.1.5, h31/4/30; refused outside its era.
CivilDate ReadJapaneseEraDate(const HalfWidthText& text, qsizetype& pos, const JapaneseEra& era, bool named)
{
    std::optional<int> eraYear;
    std::optional<CivilDate> monthAndDay;
    if (named) {
        pos += 2;
        eraYear = Expect(text, pos, u'元') ? std::optional<int>(1) : ReadNumber(text, pos, 2);
        if (eraYear && Expect(text, pos, u'年'))
            monthAndDay = ReadKanjiMonthAndDay(text, pos);
    } else {
        pos += 1;
        eraYear = ReadNumber(text, pos, 2);
        if (eraYear)
            monthAndDay = ReadMonthAndDay(text, pos, u"./-");
    }
    if (!monthAndDay)
        TypeMismatch();
    const CivilDate date{era.first.year + *eraYear - 1, monthAndDay->month, monthAndDay->day};
    if (date.Key() < era.first.Key() || (era.last.year != 0 && date.Key() > era.last.Key()))
        TypeMismatch();
    return date;
}

// Optional time of day after white space: H:MM or H:MM:SS, as seconds.
int ReadTimeOfDay(const HalfWidthText& text, qsizetype& pos)
{
    if (pos == text.size())
        return 0;
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
    return *h * 3600 + *mi * 60 + s;
}

}  // namespace

int32_t CLng(QStringView strText)
{
    const HalfWidthText text(strText.trimmed());
    qsizetype pos = 0;
    bool negative = false;
    // The sign may stand on either side of the yen sign: -¥1,200 and ¥-1,200.
    const bool hasSign = ReadSign(text, pos, negative);
    const bool yen = pos < text.size() && IsYenSign(text[pos]);
    if (yen)
        ++pos;
    if (yen && !hasSign)
        ReadSign(text, pos, negative);

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
    if (Expect(text, pos, u'.')) {
        for (int n = 0; pos < text.size() && IsDigit(text[pos]); ++pos, ++n) {
            const int digit = text[pos].unicode() - u'0';
            if (n == 0)
                firstFractionDigit = digit;
            else if (digit != 0)
                restNonZero = true;
            ++digits;
        }
    }
    // One currency mark at most: ¥1,200 or 1,200円.
    if (!yen)
        Expect(text, pos, u'円');
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
    const HalfWidthText text(strText.trimmed());
    qsizetype pos = 0;

    CivilDate date;
    if (const JapaneseEra* named = EraNamed(text, pos))
        date = ReadJapaneseEraDate(text, pos, *named, true);
    else if (const JapaneseEra* lettered = EraLettered(text, pos))
        date = ReadJapaneseEraDate(text, pos, *lettered, false);
    else
        date = ReadGregorianDate(text, pos);
    if (!IsValidDate(date))
        TypeMismatch();
    const int seconds = ReadTimeOfDay(text, pos);

    const int64_t days =
        DaysFromCivil(date.year, unsigned(date.month), unsigned(date.day)) - DaysFromCivil(1899, 12, 30);
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
