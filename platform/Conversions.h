#pragma once

#include <QString>

#include <cstdint>

// Text to a 32-bit integer, as clerks type quantities and prices: spaces
// (half-width or U+3000) around it ignored; an optional sign (+, -, U+2212,
// or the accounting marks △ and ▲ for minus) before or after an optional
// leading yen sign (¥, ￥, or \ as code page 932 shows it), or a trailing 円
// instead; digit grouping with commas; a fraction rounded half to even.
// Digits, comma, period, plus and minus may be full-width. Empty or
// non-numeric text raises error 13, out of range error 6.
int32_t CLng(QStringView strText);

// Text to an OLE Automation date (days since 1899-12-30, the time of day as
// the fraction), as the Japanese locale writes dates: 2024/1/5, 2024/01/05,
// 24/1/5 (00-29 in the 2000s), 2024-01-05 or 2024年1月5日; or in an era of
// the Japanese calendar, 令和6年1月5日 (the first year 元年) or by the era's
// letter R6.1.5, H31/4/30, s64-1-7 (M T S H R, either case). Each may carry a
// time of day, 9:30 or 9:30:15, after white space. Full-width digits and
// separators (／ － ． ：) read as half-width ones, and white space around
// the text (U+3000 included) is ignored. Meiji counts from 1868-09-08; a
// date outside its era (平成32年1月1日) is refused. Anything else raises
// error 13.
double CDate(QStringView strText);

// 32-bit product, raising error 6 when it does not fit.
int32_t MultiplyLong(int32_t a, int32_t b);
