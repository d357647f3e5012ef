#pragma once

#include "RecordSource.h"
#include "workbook/Workbook.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

// A cell as the text a line reader reads, made from its type: a text as
// typed (00123), a number as its value without grouping (128000, 0.5), a
// date as 2024/01/05, a boolean as TRUE or FALSE, an error as it shows (#N/A).
QString CellText(const WorkbookCell& cell);

// Fields as one CSV line, quoted where the field splitter needs it.
QString CsvLineOf(const QStringList& fields);

// The rows of one sheet as records: the header row first (row 1 unless
// told; rows above it are passed over), then every row below it that holds a
// value, its row number the line number. A row's fields run to the header's
// last at least, as a CSV file saved from the sheet has them.
class WorkbookRecordSource : public RecordSource {
public:
    WorkbookRecordSource(std::unique_ptr<WorkbookSheet> sheet, QString strSheetName, int64_t lngHeaderRow = 1);

    // The header row's fields; empty when the sheet has no such row.
    // Raises WorkbookError as the sheet does.
    QStringList HeaderFields();

    bool AtEnd() override;
    SourceRecord Next() override;
    // 「売上」シート
    QString PlaceName() const override;

private:
    // Reads up to the first row below the header, once.
    void PassHeader();
    // The row after the one given last, read ahead.
    void ReadAhead();

    std::unique_ptr<WorkbookSheet> m_sheet;
    QString m_strSheetName;
    int64_t m_lngHeaderRow;
    bool m_blnHeaderPassed = false;
    QStringList m_headerFields;
    std::optional<WorkbookRow> m_next;
};
