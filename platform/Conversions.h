#pragma once

#include <QString>

#include <cstdint>

// Text to a 32-bit integer: spaces around it ignored, optional sign, digit
// grouping with commas, a fraction rounded half to even. Empty or
// non-numeric text raises error 13, out of range error 6.
int32_t CLng(QStringView strText);

// Text to an OLE Automation date (days since 1899-12-30, the time of day as
// the fraction), as the Japanese locale writes dates: 2024/1/5, 2024/01/05,
// 2024-01-05 or 2024年1月5日, each with an optional 9:30 or 9:30:15.
// Anything else raises error 13.
double CDate(QStringView strText);

// 32-bit product, raising error 6 when it does not fit.
int32_t MultiplyLong(int32_t a, int32_t b);
