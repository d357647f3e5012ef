#include "Conversions.h"
#include "RuntimeError.h"

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
    for (const char16_t* text : {u"", u"   ", u"abc", u"12a", u"1 2", u"-", u".", u",1", u"1,", u"1,,0",
                                 u"1.2.3", u"１２", u"1e3", u"0x10"}) {
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
    for (const char16_t* text :
         {u"", u"  ", u"2024/2/30", u"2023/2/29", u"2024/13/1", u"2024/0/1", u"2024/1/0", u"2024/1",
          u"2024/1/5/", u"2024-1/5", u"2024年1月5", u"5/1/2024", u"024/1/5", u"2024/1/5 25:00",
          u"2024/1/5 9:60", u"2024/1/5 9", u"2024/1/5x", u"2024/1/5 9:30 PM", u"yesterday", u"20240105",
          u"2024/001/5"}) {
        EXPECT_EQ(ErrorOf([&] { CDate(text); }), ERR_TYPE_MISMATCH) << QString::fromUtf16(text).toStdString();
    }
}

TEST(Counter16, OverflowsPast32767)
{
    EXPECT_EQ(AddInt16(32766, 1), 32767);
    EXPECT_EQ(ErrorOf([] { AddInt16(32767, 1); }), ERR_OVERFLOW);
}

} // namespace
