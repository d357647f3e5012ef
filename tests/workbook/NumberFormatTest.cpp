#include "WorkbookTestKit.h"
#include "workbook/XlsxNumberFormats.h"

#include <gtest/gtest.h>

namespace {

TEST(NumberFormat, DatesAreToldByTheFormatNotByItsLook)
{
    const struct {
        const char* what;
        int intId;
        QString strCode;
        NumberFormatKind kind;
    } cases[] = {
        {"built-in general", 0, {}, NumberFormatKind::Plain},
        {"built-in grouped", 3, {}, NumberFormatKind::Plain},
        {"built-in yyyy/m/d", 14, {}, NumberFormatKind::Date},
        {"built-in date and time", 22, {}, NumberFormatKind::Date},
        {"built-in Japanese era", 28, {}, NumberFormatKind::Date},
        {"built-in Japanese m月d日", 56, {}, NumberFormatKind::Date},
        {"built-in h:mm", 20, {}, NumberFormatKind::Time},
        {"built-in Japanese h時mm分", 32, {}, NumberFormatKind::Time},
        {"built-in mm:ss", 45, {}, NumberFormatKind::Time},
        {"built-in text", 49, {}, NumberFormatKind::Plain},
        {"custom yyyy/m/d", 176, QStringLiteral("yyyy/m/d"), NumberFormatKind::Date},
        {"custom upper case", 165, QStringLiteral("YYYY/M/D"), NumberFormatKind::Date},
        {"custom m月d日 escaped", 167, QStringLiteral("m\\月d\\日"), NumberFormatKind::Date},
        {"custom era", 168, QStringLiteral("[$-ja-JP]ggge\"年\"m\"月\"d\"日\""), NumberFormatKind::Date},
        {"custom era by LCID", 168, QStringLiteral("[$-1030411]ggge\\年m\\月d\\日"), NumberFormatKind::Date},
        {"month alone", 170, QStringLiteral("m\"月\""), NumberFormatKind::Date},
        {"hours and minutes", 171, QStringLiteral("h:mm"), NumberFormatKind::Time},
        {"elapsed time", 172, QStringLiteral("[h]:mm:ss"), NumberFormatKind::Time},
        {"time with AM/PM", 173, QStringLiteral("h:mm AM/PM"), NumberFormatKind::Time},
        {"grouped with colour", 174, QStringLiteral("#,##0;[Red]-#,##0"), NumberFormatKind::Plain},
        {"yen and words in quotes", 175, QStringLiteral("\"yen \"#,##0\" days\""), NumberFormatKind::Plain},
        {"scientific", 177, QStringLiteral("0.00E+00"), NumberFormatKind::Plain},
        {"the word General", 178, QStringLiteral("General"), NumberFormatKind::Plain},
        {"escaped d and padding", 179, QStringLiteral("0\\d_y*m"), NumberFormatKind::Plain},
        {"a custom code over a built-in number", 14, QStringLiteral("0.00"), NumberFormatKind::Plain},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(NumberFormatKindOf(c.intId, c.strCode), c.kind);
    }
}

TEST(NumberFormat, SerialsGiveTheDaysExcelShows)
{
    const struct {
        const char* what;
        double dblSerial;
        bool bln1904;
        WorkbookCell cell;
    } cases[] = {
        {"first day", 1, false, WorkbookCell::OfDate(QDate(1900, 1, 1))},
        {"before the day that never was", 59, false, WorkbookCell::OfDate(QDate(1900, 2, 28))},
        {"the day that never was", 60, false, WorkbookCell::OfText(QStringLiteral("1900/02/29"))},
        {"after it", 61, false, WorkbookCell::OfDate(QDate(1900, 3, 1))},
        {"a day of 2024", 45296, false, WorkbookCell::OfDate(QDate(2024, 1, 5))},
        {"time of day dropped", 45296.99, false, WorkbookCell::OfDate(QDate(2024, 1, 5))},
        {"last day", 2958465, false, WorkbookCell::OfDate(QDate(9999, 12, 31))},
        {"past the last day", 2958466, false, WorkbookCell::OfNumber(2958466)},
        {"zero", 0, false, WorkbookCell::OfNumber(0)},
        {"a time alone", 0.375, false, WorkbookCell::OfNumber(0.375)},
        {"negative", -3, false, WorkbookCell::OfNumber(-3)},
        {"1904: its first day", 0, true, WorkbookCell::OfDate(QDate(1904, 1, 1))},
        {"1904: a day of 2024", 43834, true, WorkbookCell::OfDate(QDate(2024, 1, 5))},
        {"1904: time of day dropped", 43834.5, true, WorkbookCell::OfDate(QDate(2024, 1, 5))},
        {"1904: negative", -1, true, WorkbookCell::OfNumber(-1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DateCellOfSerial(c.dblSerial, c.bln1904), c.cell);
    }
}

TEST(NumberFormat, CellsAreNamedAsTheSheetShowsThem)
{
    EXPECT_EQ(CellName(1, 1), QStringLiteral("A1"));
    EXPECT_EQ(CellName(4, 7), QStringLiteral("D7"));
    EXPECT_EQ(CellName(26, 2), QStringLiteral("Z2"));
    EXPECT_EQ(CellName(27, 3), QStringLiteral("AA3"));
    EXPECT_EQ(CellName(16384, 1048576), QStringLiteral("XFD1048576"));
}

TEST(NumberFormat, WorkbookEndingsAreComparedUpperCased)
{
    const struct {
        const char* path;
        bool blnWorkbook;
    } cases[] = {
        {"/d/sales.xlsx", true}, {"/d/SALES.XLSM", true},  {"/d/a.Ods", true},  {"/d/a.xls", true},
        {"/d/a.csv", false},     {"/d/a.xlsx.bak", false}, {"/d/xlsx", false},  {"/d/a.xlsb", false},
        {"/d/a.ｘｌｓ", false},  {"/d/a.fods", false},     {"/d/a..XLS", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(IsWorkbookPath(QString::fromUtf8(c.path)), c.blnWorkbook);
    }
}

}  // namespace
