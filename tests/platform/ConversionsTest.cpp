#include "Conversions.h"
#include "RuntimeError.h"

#include <QDate>

#include <gtest/gtest.h>

namespace {

int ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return 0;
}

TEST(TextToLong, AcceptsPlainSignedAndGroupedNumbers)
{
    EXPECT_EQ(CLng(u"1200"), 1200);
    EXPECT_EQ(CLng(u"  -42 "), -42);
    EXPECT_EQ(CLng(u"+7"), 7);
    EXPECT_EQ(CLng(u"1,234,567"), 1234567);
    EXPECT_EQ(CLng(u"2147483647"), 2147483647);
    EXPECT_EQ(CLng(u"-2147483648"), INT32_MIN);
    EXPECT_EQ(CLng(u"0012"), 12);
}

TEST(TextToLong, RoundsFractionsHalfToEven)
{
    EXPECT_EQ(CLng(u"2.5"), 2);
    EXPECT_EQ(CLng(u"3.5"), 4);
    EXPECT_EQ(CLng(u"-2.5"), -2);
    EXPECT_EQ(CLng(u"2.5000001"), 3);
    EXPECT_EQ(CLng(u"2.49"), 2);
    EXPECT_EQ(CLng(u"0.6"), 1);
    EXPECT_EQ(CLng(u".5"), 0);
    EXPECT_EQ(CLng(u"2147483646.5"), 2147483646);
}

TEST(TextToLong, RejectsEmptyAndNonNumericText)
{
    for (const char16_t* text :
         {u"", u"   ", u"abc", u"12a", u"1 2", u"-", u".", u",1", u"1,", u"1,,0", u"1.2.3", u"1e3", u"0x10"}) {
        EXPECT_EQ(ErrorOf([&] { CLng(text); }), ERR_TYPE_MISMATCH) << QString::fromUtf16(text).toStdString();
    }
}

TEST(TextToLong, OverflowsOutside32Bits)
{
    EXPECT_EQ(ErrorOf([] { CLng(u"2147483648"); }), ERR_OVERFLOW);
    EXPECT_EQ(ErrorOf([] { CLng(u"-2147483649"); }), ERR_OVERFLOW);
    EXPECT_EQ(ErrorOf([] { CLng(u"2147483647.5"); }), ERR_OVERFLOW);
    EXPECT_EQ(ErrorOf([] { CLng(u"99999999999999999999999"); }), ERR_OVERFLOW);
}

TEST(TextToLong, ReadsFullWidthFiguresCurrencyAndAccountingMarks)
{
    struct Case {
        const char16_t* text;
        int32_t value;
        int error;
    };
    const Case cases[] = {
        // Full-width digits, grouping, fraction and signs, U+2212, U+3000 around.
        {u"１２，８００", 12800, 0},
        {u"－２", -2, 0},
        {u"＋７", 7, 0},
        {u"\u22122", -2, 0},
        {u"２．５", 2, 0},
        {u"３．５", 4, 0},
        {u"1，2,3", 123, 0},
        {u"２１４７４８３６４７", INT32_MAX, 0},
        {u"\u3000１２\u3000", 12, 0},
        // Currency marks, a sign on either side of the yen sign, accounting minus.
        {u"¥1,200", 1200, 0},
        {u"￥１，２００", 1200, 0},
        {u"\\1200", 1200, 0},
        {u"  ¥1,200 ", 1200, 0},
        {u"12.5円", 12, 0},
        {u"-500円", -500, 0},
        {u"-¥1,200", -1200, 0},
        {u"¥-1,200", -1200, 0},
        {u"△500", -500, 0},
        {u"▲1,200", -1200, 0},
        {u"▲¥1,200", -1200, 0},
        {u"￥△300", -300, 0},
        {u"▲2147483648", INT32_MIN, 0},
        // Out of 32 bits whatever the notation.
        {u"２１４７４８３６４８", 0, ERR_OVERFLOW},
        {u"▲2,147,483,649", 0, ERR_OVERFLOW},
        {u"\u22122147483649", 0, ERR_OVERFLOW},
        {u"２１４７４８３６４７．５円", 0, ERR_OVERFLOW},
    };
    for (const auto& [text, value, error] : cases) {
        int32_t result = 0;
        EXPECT_EQ(ErrorOf([&] { result = CLng(text); }), error) << QString::fromUtf16(text).toStdString();
        if (error == 0) {
            EXPECT_EQ(result, value) << QString::fromUtf16(text).toStdString();
        }
    }
    // Marks alone, misplaced or doubled, space inside, grouping still checked.
    for (const char16_t* text :
         {u"¥", u"円", u"△", u"¥1,200円", u"1200¥", u"円1200", u"¥¥1", u"¥ 1200", u"1200 円", u"△-5", u"-¥-5", u"5△",
          u"１\u3000２", u"１，", u"，１", u"１，，０", u"１ｅ３", u"＼1200", u"$1200"}) {
        EXPECT_EQ(ErrorOf([&] { CLng(text); }), ERR_TYPE_MISMATCH) << QString::fromUtf16(text).toStdString();
    }
}

TEST(Multiply, OverflowsOutside32Bits)
{
    EXPECT_EQ(MultiplyLong(3, 1200), 3600);
    EXPECT_EQ(MultiplyLong(-46341, 46340), -2147441940);
    EXPECT_EQ(ErrorOf([] { MultiplyLong(50000, 50000); }), ERR_OVERFLOW);
    EXPECT_EQ(ErrorOf([] { MultiplyLong(INT32_MIN, -1); }), ERR_OVERFLOW);
}

TEST(TextToDate, AcceptsTheJapaneseNotations)
{
    const double jan5 = 45296.0;  // 2024-01-05
    EXPECT_EQ(CDate(u"2024/1/5"), jan5);
    EXPECT_EQ(CDate(u"2024/01/05"), jan5);
    EXPECT_EQ(CDate(u"2024-01-05"), jan5);
    EXPECT_EQ(CDate(u"2024年1月5日"), jan5);
    EXPECT_EQ(CDate(u" 2024/1/5 "), jan5);
    EXPECT_EQ(CDate(u"1899/12/30"), 0.0);
    EXPECT_EQ(CDate(u"1900/1/1"), 2.0);
    EXPECT_EQ(CDate(u"2024/2/29"), 45351.0);
}

TEST(TextToDate, ReadsTwoDigitYearsAroundTheCenturyWindow)
{
    EXPECT_EQ(CDate(u"24/1/5"), CDate(u"2024/1/5"));
    EXPECT_EQ(CDate(u"00/1/1"), CDate(u"2000/1/1"));
    EXPECT_EQ(CDate(u"29/12/31"), CDate(u"2029/12/31"));
    EXPECT_EQ(CDate(u"30/1/1"), CDate(u"1930/1/1"));
    EXPECT_EQ(CDate(u"99/12/31"), CDate(u"1999/12/31"));
}

TEST(TextToDate, AddsTheTimeOfDayAsFraction)
{
    EXPECT_DOUBLE_EQ(CDate(u"2024/1/5 9:30"), 45296.0 + 9.5 / 24);
    EXPECT_DOUBLE_EQ(CDate(u"2024-01-05 09:30:15"), 45296.0 + (9 * 3600 + 30 * 60 + 15) / 86400.0);
    EXPECT_DOUBLE_EQ(CDate(u"2024年1月5日 23:59:59"), 45296.0 + 86399 / 86400.0);
    // Before the epoch the fraction still counts away from zero.
    EXPECT_DOUBLE_EQ(CDate(u"1899/12/29 6:00"), -1.25);
}

TEST(TextToDate, RejectsAnythingElse)
{
    for (const char16_t* text : {u"",           u"  ",        u"2024/2/30",        u"2023/2/29",      u"2024/13/1",
                                 u"2024/0/1",   u"2024/1/0",  u"2024/1",           u"2024/1/5/",      u"2024-1/5",
                                 u"2024年1月5", u"5/1/2024",  u"024/1/5",          u"2024/1/5 25:00", u"2024/1/5 9:60",
                                 u"2024/1/5 9", u"2024/1/5x", u"2024/1/5 9:30 PM", u"yesterday",      u"20240105",
                                 u"2024/001/5"}) {
        EXPECT_EQ(ErrorOf([&] { CDate(text); }), ERR_TYPE_MISMATCH) << QString::fromUtf16(text).toStdString();
    }
}

TEST(TextToDate, ReadsFullWidthAndJapaneseEraDatesWithinTheirEras)
{
    struct Case {
        const char16_t* text;
        QDate date;
        int seconds;
    };
    const Case cases[] = {
        // Full-width digits and separators in the forms read before.
        {u"２０２４／１／５", QDate(2024, 1, 5), 0},
        {u"２０２４－０１－０５", QDate(2024, 1, 5), 0},
        {u"２０２４年１月５日", QDate(2024, 1, 5), 0},
        {u"２４／１／５", QDate(2024, 1, 5), 0},
        {u"2024/1/5\u30009：30", QDate(2024, 1, 5), 9 * 3600 + 30 * 60},
        {u"\u3000 2024/1/5\u3000", QDate(2024, 1, 5), 0},
        // Era names, with 元年 and the first and last day of every era.
        {u"令和6年1月5日", QDate(2024, 1, 5), 0},
        {u"令和６年１月５日　２３：５９：５９", QDate(2024, 1, 5), 86399},
        {u"令和06年1月5日 9:30", QDate(2024, 1, 5), 9 * 3600 + 30 * 60},
        {u"令和元年5月1日", QDate(2019, 5, 1), 0},
        {u"平成31年4月30日", QDate(2019, 4, 30), 0},
        {u"平成元年1月8日", QDate(1989, 1, 8), 0},
        {u"昭和64年1月7日", QDate(1989, 1, 7), 0},
        {u"昭和元年12月25日", QDate(1926, 12, 25), 0},
        {u"大正15年12月24日", QDate(1926, 12, 24), 0},
        {u"大正元年7月30日", QDate(1912, 7, 30), 0},
        {u"明治45年7月29日", QDate(1912, 7, 29), 0},
        {u"明治1年9月8日", QDate(1868, 9, 8), 0},
        // Era letters, any case and width, with one separator used twice.
        {u"R6.1.5", QDate(2024, 1, 5), 0},
        {u"r6/1/5", QDate(2024, 1, 5), 0},
        {u"R06-01-05 9:30:15", QDate(2024, 1, 5), 9 * 3600 + 30 * 60 + 15},
        {u"Ｒ６．１．５", QDate(2024, 1, 5), 0},
        {u"ｈ３１／４／３０", QDate(2019, 4, 30), 0},
        {u"ｓ６４－１－７", QDate(1989, 1, 7), 0},
        {u"T1.7.30", QDate(1912, 7, 30), 0},
        {u"m45.7.29", QDate(1912, 7, 29), 0},
    };
    const QDate epoch(1899, 12, 30);
    for (const auto& [text, date, seconds] : cases) {
        double result = 0;
        EXPECT_EQ(ErrorOf([&] { result = CDate(text); }), 0) << QString::fromUtf16(text).toStdString();
        EXPECT_DOUBLE_EQ(result, double(epoch.daysTo(date)) + seconds / 86400.0)
            << QString::fromUtf16(text).toStdString();
    }
    for (const char16_t* text :
         {// A day outside its era.
          u"平成32年1月1日", u"平成31年5月1日", u"平成元年1月7日", u"令和元年4月30日", u"令和0年5月1日",
          u"昭和64年1月8日", u"昭和元年12月24日", u"大正15年12月25日", u"大正元年7月29日", u"明治45年7月30日",
          u"明治元年9月7日", u"R1.4.30", u"M1.1.1",
          // Malformed era dates, and separators that no form takes.
          u"令和6年2月30日", u"令和6年1月5", u"令和6/1/5", u"令和 6年1月5日", u"令和6年1月5日9:30", u"令和123年1月1日",
          u"令和元1月1日", u"令和", u"R6年1月5日", u"R元.1.5", u"R6.1/5", u"R6.1", u"R 6.1.5", u"R6.1.5x", u"X6.1.5",
          u"2024.1.5", u"２０２４．１．５", u"2024\u22121\u22125"}) {
        EXPECT_EQ(ErrorOf([&] { CDate(text); }), ERR_TYPE_MISMATCH) << QString::fromUtf16(text).toStdString();
    }
}

TEST(Counter16, OverflowsPast32767)
{
    EXPECT_EQ(AddInt16(32766, 1), 32767);
    EXPECT_EQ(ErrorOf([] { AddInt16(32767, 1); }), ERR_OVERFLOW);
}

}  // namespace
