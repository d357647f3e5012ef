// Excel 97-2003 workbooks (.xls) through freexl, which reads the whole file
// when it opens it. What freexl gives is what is read: a cell holding a
// formula comes back empty (freexl keeps no formula's result), a boolean as
// the number 1 or 0 and an error value as its code, so neither can be told
// from a number here.
#include "workbook/WorkbookReaders.h"

#include <freexl.h>

#include <QFile>

#include <cmath>
#include <stdexcept>

namespace {

struct FreexlCloser {
    void operator()(const void* handle) const
    {
        if (handle != nullptr)
            freexl_close(handle);
    }
};
using FreexlHandle = std::unique_ptr<const void, FreexlCloser>;

unsigned int InfoOf(const void* handle, unsigned short intWhat)
{
    unsigned int intInfo = 0;
    if (freexl_get_info(handle, intWhat, &intInfo) != FREEXL_OK)
        throw WorkbookError(WorkbookError::Damaged());
    return intInfo;
}

// What freexl's failure to open a file means to the clerk.
QString ReasonOfOpenFailure(int intResult)
{
    switch (intResult) {
    case FREEXL_FILE_NOT_FOUND: return WorkbookError::CannotOpen();
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND: return WorkbookError::NotAWorkbook();
    case FREEXL_INSUFFICIENT_MEMORY: return WorkbookError::PastTheLimits();
    default: return WorkbookError::Damaged();
    }
}

// freexl writes dates as YYYY-MM-DD, with the time of day after them.
WorkbookCell DateCellOf(const char* strText)
{
    const QDate date = QDate::fromString(QString::fromUtf8(strText).left(10), Qt::ISODate);
    if (!date.isValid())
        throw WorkbookError(WorkbookError::Damaged());
    return WorkbookCell::OfDate(date);
}

// HH:MM:SS as a fraction of a day, as the other formats give a time of day.
WorkbookCell TimeCellOf(const char* strText)
{
    const QTime time = QTime::fromString(QString::fromUtf8(strText), Qt::ISODate);
    if (!time.isValid())
        throw WorkbookError(WorkbookError::Damaged());
    return WorkbookCell::OfNumber(time.msecsSinceStartOfDay() / 86400000.0);
}

WorkbookCell CellOf(const FreeXL_CellValue& value)
{
    switch (value.type) {
    case FREEXL_CELL_INT: return WorkbookCell::OfNumber(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
        if (!std::isfinite(value.value.double_value))
            throw WorkbookError(WorkbookError::Damaged());
        return WorkbookCell::OfNumber(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT: return TextCell(QString::fromUtf8(value.value.text_value));
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME: return DateCellOf(value.value.text_value);
    case FREEXL_CELL_TIME: return TimeCellOf(value.value.text_value);
    default: return WorkbookCell();
    }
}

class XlsSheet : public WorkbookSheet {
public:
    XlsSheet(std::shared_ptr<const void> handle, unsigned short intIndex, const WorkbookLimits& limits)
        : m_handle(std::move(handle)), m_intIndex(intIndex), m_budget(limits.lngCells)
    {
        Select();
        if (freexl_worksheet_dimensions(m_handle.get(), &m_intRows, &m_intColumns) != FREEXL_OK)
            throw WorkbookError(WorkbookError::Damaged());
        if (int64_t(m_intRows) > limits.lngRows || int64_t(m_intColumns) > limits.lngColumns)
            throw WorkbookError(WorkbookError::PastTheLimits());
    }

    bool NextRow(WorkbookRow& row) override
    {
        // Another sheet of the same file may have been read meanwhile.
        Select();
        while (m_intNextRow < m_intRows) {
            const unsigned int intRow = m_intNextRow++;
            row.lngRow = int64_t(intRow) + 1;
            row.cells.clear();
            for (unsigned short intColumn = 0; intColumn < m_intColumns; ++intColumn) {
                FreeXL_CellValue value;
                if (freexl_get_cell_value(m_handle.get(), intRow, intColumn, &value) != FREEXL_OK)
                    throw WorkbookError(WorkbookError::Damaged());
                WorkbookCell cell = CellOf(value);
                if (cell.IsEmpty())
                    continue;
                m_budget.Spend(int64_t(intColumn) + 1 - int64_t(row.cells.size()));
                row.cells.resize(size_t(intColumn) + 1);
                row.cells.back() = std::move(cell);
            }
            if (!row.cells.empty())
                return true;
        }
        return false;
    }

private:
    void Select()
    {
        if (freexl_select_active_worksheet(m_handle.get(), m_intIndex) != FREEXL_OK)
            throw WorkbookError(WorkbookError::Damaged());
    }

    std::shared_ptr<const void> m_handle;
    unsigned short m_intIndex;
    CellBudget m_budget;
    unsigned int m_intRows = 0;
    unsigned short m_intColumns = 0;
    unsigned int m_intNextRow = 0;
};

class XlsWorkbook : public Workbook {
public:
    XlsWorkbook(std::shared_ptr<const void> handle, QStringList sheetNames, const WorkbookLimits& limits)
        : m_handle(std::move(handle)), m_sheetNames(std::move(sheetNames)), m_limits(limits)
    {
    }

    QStringList SheetNames() const override { return m_sheetNames; }

    std::unique_ptr<WorkbookSheet> OpenSheet(int intIndex) override
    {
        if (intIndex < 0 || intIndex >= m_sheetNames.size())
            throw std::out_of_range("no such sheet");
        return std::make_unique<XlsSheet>(m_handle, static_cast<unsigned short>(intIndex), m_limits);
    }

private:
    std::shared_ptr<const void> m_handle;  // shared with the sheets, closed by the last
    QStringList m_sheetNames;
    WorkbookLimits m_limits;
};

}  // namespace

std::unique_ptr<Workbook> OpenXls(const QString& strPath, const WorkbookLimits& limits)
{
    const void* rawHandle = nullptr;
    const int intResult = freexl_open(QFile::encodeName(strPath).constData(), &rawHandle);
    // Closed also when the opening failed, as freexl asks.
    FreexlHandle handle(rawHandle);
    if (intResult != FREEXL_OK)
        throw WorkbookError(ReasonOfOpenFailure(intResult));
    if (InfoOf(handle.get(), FREEXL_BIFF_PASSWORD) == FREEXL_BIFF_OBFUSCATED)
        throw WorkbookError(WorkbookError::Encrypted());

    const unsigned int intSheets = InfoOf(handle.get(), FREEXL_BIFF_SHEET_COUNT);
    QStringList sheetNames;
    for (unsigned int i = 0; i < intSheets && i <= 0xFFFF; ++i) {
        const char* strName = nullptr;
        if (freexl_get_worksheet_name(handle.get(), static_cast<unsigned short>(i), &strName) != FREEXL_OK
            || strName == nullptr)
            throw WorkbookError(WorkbookError::Damaged());
        sheetNames << QString::fromUtf8(strName);
    }
    if (sheetNames.isEmpty())
        throw WorkbookError(WorkbookError::NoSheet());
    return std::make_unique<XlsWorkbook>(std::shared_ptr<const void>(handle.release(), FreexlCloser()),
                                         std::move(sheetNames), limits);
}
