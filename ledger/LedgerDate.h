#pragma once

#include <cstddef>

// Writes an OLE Automation date (days since 1899-12-30, the time of day as
// the fraction in magnitude) as "YYYY-MM-DD", or "YYYY-MM-DD HH:MM:SS" when
// it has a time of day, rounded to the second. Returns the text's length,
// or 0 when the value is no date in the years 100 to 9999 (NaN, infinite,
// out of range).
constexpr std::size_t kLedgerDateBufferSize = 20;
std::size_t FormatLedgerDate(double dtmValue, char (&buffer)[kLedgerDateBufferSize]);
