#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

// A workbook that cannot be read: damaged, encrypted, not a workbook at all,
// or a sheet past the limits. The reason is said as the clerk reads it.
class WorkbookError : public std::exception {
public:
    explicit WorkbookError(QString strReason);

    const QString& Reason() const { return m_strReason; }
    const char* what() const noexcept override { return m_strUtf8.c_str(); }

    static QString Damaged();
    static QString Encrypted();
    static QString NotAWorkbook();
    static QString CannotOpen();
    static QString PastTheLimits();
    static QString NoSheet();

private:
    QString m_strReason;
    std::string m_strUtf8;
};

// One cell by its type, never by its display.
struct WorkbookCell {
    enum class Kind { Empty, Text, Number, Date, Boolean, Error };
    Kind kind = Kind::Empty;
    // Text: as typed. Error: as the cell shows it (#N/A); empty for a formula
    // that was never computed.
    QString strText;
    double dblNumber = 0;  // Number; Boolean: 1 or 0
    QDate date;            // Date: the day, a time of day dropped

    static WorkbookCell OfText(QString strText) { return {Kind::Text, std::move(strText), 0, {}}; }
    static WorkbookCell OfNumber(double dblNumber) { return {Kind::Number, {}, dblNumber, {}}; }
    static WorkbookCell OfDate(QDate date) { return {Kind::Date, {}, 0, date}; }
    static WorkbookCell OfBoolean(bool blnValue) { return {Kind::Boolean, {}, blnValue ? 1.0 : 0.0, {}}; }
    static WorkbookCell OfError(QString strShown) { return {Kind::Error, std::move(strShown), 0, {}}; }

    bool IsEmpty() const { return kind == Kind::Empty; }
    friend bool operator==(const WorkbookCell&, const WorkbookCell&) = default;
};

// A row that holds a value: its cells from column A up to its last value.
struct WorkbookRow {
    int64_t lngRow = 0;  // counted from 1
    std::vector<WorkbookCell> cells;
};

// What a sheet may hold before it is refused, and what one part of a
// package may inflate to. The defaults are Excel's own sheet size.
struct WorkbookLimits {
    int64_t lngRows = 1048576;
    int32_t lngColumns = 16384;
    int64_t lngPartBytes = int64_t(256) * 1024 * 1024;
    // Cells given in all, counted up to each row's last value: what a
    // repeated row or cell of OpenDocument may make of a few bytes.
    int64_t lngCells = int64_t(1) << 26;
};

// The rows of one sheet, read as they are asked for.
class WorkbookSheet {
public:
    virtual ~WorkbookSheet() = default;

    // The next row that holds a value; false past the last. Rows that hold
    // none are never given. Raises WorkbookError when the rest of the sheet
    // cannot be read (damaged, or past the limits).
    virtual bool NextRow(WorkbookRow& row) = 0;
};

// An .xlsx/.xlsm, .ods or .xls workbook, judged by its content.
class Workbook {
public:
    virtual ~Workbook() = default;

    // Raises WorkbookError for a file that cannot be read as a workbook.
    static std::unique_ptr<Workbook> Open(const QString& strPath, const WorkbookLimits& limits = {});

    // The worksheets in the workbook's order (chart sheets are none).
    virtual QStringList SheetNames() const = 0;
    // A sheet may outlive its workbook. Raises WorkbookError.
    virtual std::unique_ptr<WorkbookSheet> OpenSheet(int intIndex) = 0;
};

// .xlsx, .xlsm, .ods or .xls, the ending compared upper-cased.
bool IsWorkbookPath(const QString& strPath);

// A cell's name as the sheet shows it: column 4 of row 7 is D7.
QString CellName(int32_t lngColumn, int64_t lngRow);
