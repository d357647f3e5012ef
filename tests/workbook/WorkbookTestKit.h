#pragma once

#include "QtPrinters.h"
#include "TestFiles.h"
#include "WorkbookFiles.h"
#include "workbook/Workbook.h"
#include "workbook/WorkbookRecordSource.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

inline void PrintTo(const WorkbookCell& cell, std::ostream* out)
{
    static const char* const kinds[] = {"Empty", "Text", "Number", "Date", "Boolean", "Error"};
    *out << kinds[int(cell.kind)] << '(' << cell.strText.toStdString() << '|' << cell.dblNumber << '|'
         << cell.date.toString(Qt::ISODate).toStdString() << ')';
}

// Every row of one sheet.
inline std::vector<WorkbookRow> RowsOf(const QString& strPath, int intSheet = 0, const WorkbookLimits& limits = {})
{
    std::unique_ptr<WorkbookSheet> sheet = Workbook::Open(strPath, limits)->OpenSheet(intSheet);
    std::vector<WorkbookRow> rows;
    for (WorkbookRow row; sheet->NextRow(row);)
        rows.push_back(row);
    return rows;
}

// The cells of a sheet's only row, or of its first.
inline std::vector<WorkbookCell> FirstRowCells(const QString& strPath)
{
    const std::vector<WorkbookRow> rows = RowsOf(strPath);
    return rows.empty() ? std::vector<WorkbookCell>() : rows.front().cells;
}

// The header and the records of one sheet, as the line reader gets them.
struct SheetRecords {
    QStringList header;
    std::vector<SourceRecord> records;
    QString strPlace;
};

inline SheetRecords RecordsOf(const QString& strPath, int intSheet = 0, int64_t lngHeaderRow = 1)
{
    std::unique_ptr<Workbook> book = Workbook::Open(strPath);
    WorkbookRecordSource source(book->OpenSheet(intSheet), book->SheetNames().value(intSheet), lngHeaderRow);
    SheetRecords result;
    result.header = source.HeaderFields();
    while (!source.AtEnd())
        result.records.push_back(source.Next());
    result.strPlace = source.PlaceName();
    return result;
}

// The reason a workbook is refused for; empty when it is not.
template <typename Read>
QString RefusalOf(Read&& read)
{
    try {
        read();
    } catch (const WorkbookError& error) {
        return error.Reason();
    }
    return QString();
}
