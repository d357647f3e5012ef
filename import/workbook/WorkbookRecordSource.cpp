#include "workbook/WorkbookRecordSource.h"

#include <algorithm>
#include <cmath>

namespace {

QString FaultText(const WorkbookCell& cell, const QString& strCell)
{
    if (cell.strText.isEmpty())
        return QStringLiteral("セル %1 の式には計算された値がありません。").arg(strCell);
    return QStringLiteral("セル %1 はエラー（%2）です。").arg(strCell, cell.strText);
}

}  // namespace

QString CsvLineOf(const QStringList& fields)
{
    QString strLine;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            strLine += u',';
        const QString& strField = fields[i];
        if (strField.contains(u',') || strField.contains(u'"') || strField.contains(u'\n')
            || strField.contains(u'\r')) {
            strLine += u'"';
            strLine += QString(strField).replace(u'"', QStringLiteral("\"\""));
            strLine += u'"';
        } else {
            strLine += strField;
        }
    }
    return strLine;
}

QString CellText(const WorkbookCell& cell)
{
    switch (cell.kind) {
    case WorkbookCell::Kind::Empty: return QString();
    case WorkbookCell::Kind::Text:
    case WorkbookCell::Kind::Error: return cell.strText;
    case WorkbookCell::Kind::Number: {
        // Fifteen digits, as Excel shows a number; no -0. Whole numbers,
        // the most of them, are written the quick way.
        const double dblNumber = cell.dblNumber;
        if (dblNumber == 0)
            return QStringLiteral("0");
        if (std::abs(dblNumber) < 1e15 && dblNumber == std::trunc(dblNumber))
            return QString::number(qint64(dblNumber));
        return QString::number(dblNumber, 'g', 15);
    }
    case WorkbookCell::Kind::Date: {
        // As QDate::toString(u"yyyy/MM/dd") writes it, without parsing the pattern for every cell.
        int intYear = 0;
        int intMonth = 0;
        int intDay = 0;
        cell.date.getDate(&intYear, &intMonth, &intDay);
        if (intYear < 1000 || intYear > 9999)
            return cell.date.toString(u"yyyy/MM/dd");
        const char16_t text[] = {char16_t(u'0' + intYear / 1000),
                                 char16_t(u'0' + intYear / 100 % 10),
                                 char16_t(u'0' + intYear / 10 % 10),
                                 char16_t(u'0' + intYear % 10),
                                 u'/',
                                 char16_t(u'0' + intMonth / 10),
                                 char16_t(u'0' + intMonth % 10),
                                 u'/',
                                 char16_t(u'0' + intDay / 10),
                                 char16_t(u'0' + intDay % 10)};
        return QString(reinterpret_cast<const QChar*>(text), 10);
    }
    case WorkbookCell::Kind::Boolean: return cell.dblNumber != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    }
    return QString();
}

WorkbookRecordSource::WorkbookRecordSource(std::unique_ptr<WorkbookSheet> sheet, QString strSheetName,
                                           int64_t lngHeaderRow)
    : m_sheet(std::move(sheet)), m_strSheetName(std::move(strSheetName)), m_lngHeaderRow(lngHeaderRow)
{
}

QStringList WorkbookRecordSource::HeaderFields()
{
    PassHeader();
    return m_headerFields;
}

bool WorkbookRecordSource::AtEnd()
{
    PassHeader();
    return !m_next;
}

SourceRecord WorkbookRecordSource::Next()
{
    PassHeader();
    SourceRecord record;
    if (!m_next)
        return record;
    const WorkbookRow row = std::move(*m_next);
    ReadAhead();

    record.lngLineNumber = row.lngRow;
    for (size_t i = 0; i < row.cells.size(); ++i) {
        const WorkbookCell& cell = row.cells[i];
        record.fields << CellText(cell);
        if (cell.kind == WorkbookCell::Kind::Error)
            record.faults.push_back(
                {int16_t(i + 1), FaultText(cell, CellName(static_cast<int32_t>(i + 1), row.lngRow))});
    }
    while (record.fields.size() < m_headerFields.size())
        record.fields << QString();
    record.strRecord = CsvLineOf(record.fields);
    record.blnNoData = record.faults.empty()
                       && std::all_of(record.fields.cbegin(), record.fields.cend(),
                                      [](const QString& strField) { return strField.isEmpty(); });
    return record;
}

QString WorkbookRecordSource::PlaceName() const { return QStringLiteral("「%1」シート").arg(m_strSheetName); }

void WorkbookRecordSource::PassHeader()
{
    if (m_blnHeaderPassed)
        return;
    m_blnHeaderPassed = true;
    for (;;) {
        ReadAhead();
        if (!m_next || m_next->lngRow > m_lngHeaderRow)
            return;
        if (m_next->lngRow == m_lngHeaderRow) {
            for (const WorkbookCell& cell : m_next->cells)
                m_headerFields << CellText(cell);
        }
    }
}

void WorkbookRecordSource::ReadAhead()
{
    WorkbookRow row;
    if (m_sheet->NextRow(row))
        m_next = std::move(row);
    else
        m_next.reset();
}
