#include "workbook/XlsxNumberFormats.h"

#include <cmath>

namespace {

NumberFormatKind BuiltInKind(int intFormatId)
{
    // The built-in formats, Japanese ones (27-36, 50-58) included, whose
    // code a workbook does not repeat.
    if ((intFormatId >= 14 && intFormatId <= 17) || intFormatId == 22 || (intFormatId >= 27 && intFormatId <= 31)
        || (intFormatId >= 34 && intFormatId <= 36) || (intFormatId >= 50 && intFormatId <= 58))
        return NumberFormatKind::Date;
    if ((intFormatId >= 18 && intFormatId <= 21) || intFormatId == 32 || intFormatId == 33
        || (intFormatId >= 45 && intFormatId <= 47))
        return NumberFormatKind::Time;
    return NumberFormatKind::Plain;
}

bool StartsWithWord(QStringView strCode, qsizetype intAt, QStringView strWord)
{
    return strCode.mid(intAt).startsWith(strWord, Qt::CaseInsensitive);
}

}  // namespace

NumberFormatKind NumberFormatKindOf(int intFormatId, QStringView strFormatCode)
{
    if (strFormatCode.isEmpty())
        return BuiltInKind(intFormatId);

    bool blnDatePart = false;
    bool blnTimePart = false;
    bool blnMonthOrMinute = false;
    const qsizetype intLength = strFormatCode.size();
    for (qsizetype i = 0; i < intLength; ++i) {
        const QChar ch = strFormatCode[i];
        switch (ch.unicode()) {
        case u'"': {
            const qsizetype intClose = strFormatCode.indexOf(u'"', i + 1);
            i = intClose < 0 ? intLength : intClose;
            continue;
        }
        case u'[': {
            const qsizetype intClose = strFormatCode.indexOf(u']', i + 1);
            i = intClose < 0 ? intLength : intClose;
            continue;
        }
        case u'\\':
        case u'_':
        case u'*': ++i; continue;  // the next character is shown, not read
        default: break;
        }
        if (StartsWithWord(strFormatCode, i, u"General")) {
            i += 6;
            continue;
        }
        if (StartsWithWord(strFormatCode, i, u"AM/PM")) {
            blnTimePart = true;
            i += 4;
            continue;
        }
        if (StartsWithWord(strFormatCode, i, u"A/P")) {
            blnTimePart = true;
            i += 2;
            continue;
        }
        switch (ch.toLower().unicode()) {
        case u'y':
        case u'd':
        case u'g': blnDatePart = true; break;
        case u'e':
            // 0.00E+00 is a number's exponent, not an era's year.
            if (i + 1 < intLength && (strFormatCode[i + 1] == u'+' || strFormatCode[i + 1] == u'-'))
                ++i;
            else
                blnDatePart = true;
            break;
        case u'h':
        case u's': blnTimePart = true; break;
        case u'm': blnMonthOrMinute = true; break;
        default: break;
        }
    }
    if (blnDatePart || (blnMonthOrMinute && !blnTimePart))
        return NumberFormatKind::Date;
    if (blnTimePart)
        return NumberFormatKind::Time;
    return NumberFormatKind::Plain;
}

WorkbookCell DateCellOfSerial(double dblSerial, bool blnDate1904)
{
    if (!std::isfinite(dblSerial))
        return WorkbookCell::OfNumber(dblSerial);
    const double dblDay = std::floor(dblSerial);
    if (blnDate1904) {
        constexpr double kLastDay = 2957003;  // 9999-12-31
        if (dblDay < 0 || dblDay > kLastDay)
            return WorkbookCell::OfNumber(dblSerial);
        return WorkbookCell::OfDate(QDate(1904, 1, 1).addDays(qint64(dblDay)));
    }
    constexpr double kLastDay = 2958465;  // 9999-12-31
    if (dblDay < 1 || dblDay > kLastDay)
        return WorkbookCell::OfNumber(dblSerial);
    // Excel counts 1900 as a leap year: serial 60 is a day that never was,
    // and every serial before it is one day later than the days since 1899-12-30.
    if (dblDay == 60)
        return WorkbookCell::OfText(QStringLiteral("1900/02/29"));
    const QDate epoch = dblDay < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30);
    return WorkbookCell::OfDate(epoch.addDays(qint64(dblDay)));
}
