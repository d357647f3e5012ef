#pragma once

#include "workbook/Workbook.h"

#include <QStringView>

// What a cell's number format makes of its number: a date whatever its
// display (2024/1/5, 1月5日, R6.1.5), a time of day, or a plain number.
enum class NumberFormatKind { Plain, Date, Time };

// By the built-in format's number, or by the format's code when the
// workbook gives one: y, m, d, e (era year), g (era) outside quoted text,
// brackets and escapes make a date; h and s alone make a time.
NumberFormatKind NumberFormatKindOf(int intFormatId, QStringView strFormatCode);

// A serial of Excel's date systems as a cell: the day in the 1900 system
// (which counts a 1900-02-29 that never was) or the 1904 system, the time
// of day dropped. A serial before the system's first day or past 9999 stays
// a number; the 1900 system's 29 February is the text 1900/02/29, which no
// date conversion accepts.
WorkbookCell DateCellOfSerial(double dblSerial, bool blnDate1904);
