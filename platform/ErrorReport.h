#pragma once

#include "Desktop.h"

#include <QString>

#include <exception>

enum class PointerOnError { Keep, Reset };

// The standard error report of every trap: the message code, CR LF and the
// error's description, OK only, with the application's title.
void ReportError(Desktop& desktop, const QString& strCode, const std::exception& error,
                 PointerOnError pointer = PointerOnError::Keep);

// The same report about one data line, with the description of what was
// wrong with it.
void ReportLineError(Desktop& desktop, const QString& strCode, const QString& strDescription,
                     const LineReportPlace& place, PointerOnError pointer);

// The text of the standard error report.
QString ErrorReportText(const QString& strCode, const std::exception& error);
QString ErrorReportText(const QString& strCode, const QString& strDescription);

// The description a report shows for any exception.
QString ErrorDescription(const std::exception& error);
