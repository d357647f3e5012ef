// OpenDocument spreadsheets (.ods): the tables of content.xml, read as it
// inflates. Repeated rows and cells that hold nothing are counted, never made.
#include "workbook/WorkbookReaders.h"
#include "workbook/ZipPart.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr QStringView kOfficeNs = u"urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr QStringView kTableNs = u"urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr QStringView kTextNs = u"urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr QStringView kCalcExtNs = u"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";

// Spaces a cell's <text:s> elements may add in all: Excel's longest text.
constexpr int64_t kMostAddedSpaces = 32767;

// An attribute by its namespace and local name.
QStringView AttributeIn(const QXmlStreamAttributes& attributes, QStringView strNamespace, QStringView strLocalName)
{
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() == strLocalName && attribute.namespaceUri() == strNamespace)
            return attribute.value();
    }
    return {};
}

bool IsStart(const ZipXmlPart& part, QStringView strNamespace, QStringView strLocalName)
{
    const QXmlStreamReader& reader = part.Reader();
    return reader.tokenType() == QXmlStreamReader::StartElement && reader.name() == strLocalName
           && reader.namespaceUri() == strNamespace;
}

// A repeat count: 1 when not given. Counts past any sheet are cut down to
// one past it, which is as good as endless here and cannot overflow.
int64_t RepeatCount(const QXmlStreamAttributes& attributes, QStringView strName)
{
    const QStringView strCount = AttributeIn(attributes, kTableNs, strName);
    if (strCount.isEmpty())
        return 1;
    bool blnNumber = false;
    const qulonglong lngCount = strCount.toULongLong(&blnNumber);
    if (!blnNumber || lngCount == 0)
        throw WorkbookError(WorkbookError::Damaged());
    constexpr qulonglong kEndless = qulonglong(1) << 40;
    return int64_t(std::min(lngCount, kEndless));
}

// The text of a paragraph (<text:p>, <text:h>) read past its end, its white
// space collapsed as OpenDocument says: <text:s> adds the spaces that count.
QString ParagraphText(ZipXmlPart& part, int64_t& lngAddedSpaces)
{
    QString strText;
    bool blnAfterSpace = false;
    for (int intDepth = 1; intDepth > 0;) {
        switch (part.Next()) {
        case QXmlStreamReader::StartElement:
            if (IsStart(part, kTextNs, u"s")) {
                const QXmlStreamAttributes attributes = part.Reader().attributes();
                const QStringView strCount = AttributeIn(attributes, kTextNs, u"c");
                const int64_t lngCount = strCount.isEmpty() ? 1 : strCount.toLongLong();
                lngAddedSpaces += std::max<int64_t>(lngCount, 0);
                if (lngAddedSpaces > kMostAddedSpaces)
                    throw WorkbookError(WorkbookError::PastTheLimits());
                strText += QString(qsizetype(std::max<int64_t>(lngCount, 0)), u' ');
                blnAfterSpace = false;
                part.SkipElement();
            } else if (IsStart(part, kTextNs, u"tab")) {
                strText += u'\t';
                blnAfterSpace = false;
                part.SkipElement();
            } else if (IsStart(part, kTextNs, u"line-break")) {
                strText += u'\n';
                blnAfterSpace = false;
                part.SkipElement();
            } else if (IsStart(part, kTextNs, u"note") || IsStart(part, kTextNs, u"ruby-text")
                       || IsStart(part, kOfficeNs, u"annotation")) {
                // Notes and readings are not the cell's text.
                part.SkipElement();
            } else {
                ++intDepth;  // spans, links: their text is the paragraph's
            }
            break;
        case QXmlStreamReader::EndElement: --intDepth; break;
        case QXmlStreamReader::Characters:
            for (const QChar ch : part.Reader().text()) {
                if (ch == u' ' || ch == u'\t' || ch == u'\n' || ch == u'\r') {
                    if (!blnAfterSpace)
                        strText += u' ';
                    blnAfterSpace = true;
                } else {
                    strText += ch;
                    blnAfterSpace = false;
                }
            }
            break;
        case QXmlStreamReader::EndDocument: throw WorkbookError(WorkbookError::Damaged());
        default: break;
        }
    }
    return strText;
}

double NumberOf(QStringView strValue)
{
    bool blnNumber = false;
    const double dblValue = strValue.trimmed().toDouble(&blnNumber);
    if (!blnNumber || !std::isfinite(dblValue))
        throw WorkbookError(WorkbookError::Damaged());
    return dblValue;
}

// PT09H30M00S or P1DT2H (hours may pass 24, seconds carry a fraction) as days.
double DaysOfDuration(QStringView strDuration)
{
    QStringView strRest = strDuration.trimmed();
    const bool blnNegative = strRest.startsWith(u'-');
    if (blnNegative)
        strRest = strRest.mid(1);
    if (!strRest.startsWith(u'P'))
        throw WorkbookError(WorkbookError::Damaged());
    strRest = strRest.mid(1);
    bool blnTimePart = false;
    double dblSeconds = 0;
    while (!strRest.isEmpty()) {
        if (strRest.startsWith(u'T') && !blnTimePart) {
            blnTimePart = true;
            strRest = strRest.mid(1);
            continue;
        }
        qsizetype i = 0;
        while (i < strRest.size() && (strRest[i].isDigit() || strRest[i] == u'.'))
            ++i;
        if (i == 0 || i == strRest.size())
            throw WorkbookError(WorkbookError::Damaged());
        const double dblAmount = NumberOf(strRest.left(i));
        const char16_t unit = strRest[i].unicode();
        if (unit == u'D' && !blnTimePart)
            dblSeconds += dblAmount * 86400;
        else if (unit == u'H' && blnTimePart)
            dblSeconds += dblAmount * 3600;
        else if (unit == u'M' && blnTimePart)
            dblSeconds += dblAmount * 60;
        else if (unit == u'S' && blnTimePart)
            dblSeconds += dblAmount;
        else
            throw WorkbookError(WorkbookError::Damaged());
        strRest = strRest.mid(i + 1);
    }
    return (blnNegative ? -dblSeconds : dblSeconds) / 86400;
}

// At a <table:table-cell>: its value by its type, read past its end.
WorkbookCell ReadCell(ZipXmlPart& part)
{
    const QXmlStreamAttributes attributes = part.Reader().attributes();
    const QStringView strType = AttributeIn(attributes, kOfficeNs, u"value-type");
    const bool blnError = AttributeIn(attributes, kCalcExtNs, u"value-type") == u"error";
    const QStringView strNumber = AttributeIn(attributes, kOfficeNs, u"value");
    const QStringView strDate = AttributeIn(attributes, kOfficeNs, u"date-value");
    const QStringView strTime = AttributeIn(attributes, kOfficeNs, u"time-value");
    const QStringView strBoolean = AttributeIn(attributes, kOfficeNs, u"boolean-value");
    const QStringView strStringValue = AttributeIn(attributes, kOfficeNs, u"string-value");

    QString strText;
    bool blnParagraph = false;
    int64_t lngAddedSpaces = 0;
    for (;;) {
        const QXmlStreamReader::TokenType token = part.Next();
        if (token == QXmlStreamReader::EndElement)
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (IsStart(part, kTextNs, u"p") || IsStart(part, kTextNs, u"h")) {
            if (blnParagraph)
                strText += u'\n';
            strText += ParagraphText(part, lngAddedSpaces);
            blnParagraph = true;
        } else {
            part.SkipElement();  // a note, a drawing
        }
    }

    if (blnError)
        return WorkbookCell::OfError(strText);
    if (strType == u"float" || strType == u"percentage" || strType == u"currency")
        return WorkbookCell::OfNumber(NumberOf(strNumber));
    if (strType == u"date") {
        const QDate date = QDate::fromString(strDate.trimmed().left(10), Qt::ISODate);
        if (!date.isValid())
            throw WorkbookError(WorkbookError::Damaged());
        return WorkbookCell::OfDate(date);
    }
    if (strType == u"time")
        return WorkbookCell::OfNumber(DaysOfDuration(strTime));
    if (strType == u"boolean")
        return WorkbookCell::OfBoolean(strBoolean.trimmed() == u"true" || strBoolean.trimmed() == u"1");
    if (strType == u"string" && !blnParagraph)
        return TextCell(strStringValue.toString());
    return TextCell(strText);
}

// Reads up to the table's start: the document, its body, its spreadsheet.
bool IsContainer(const ZipXmlPart& part)
{
    return IsStart(part, kOfficeNs, u"document-content") || IsStart(part, kOfficeNs, u"body")
           || IsStart(part, kOfficeNs, u"spreadsheet");
}

class OdsSheet : public WorkbookSheet {
public:
    OdsSheet(const QString& strPath, const WorkbookLimits& limits, int intIndex)
        : m_package(std::make_unique<ZipPackage>(strPath, limits)),
          m_part(std::make_unique<ZipXmlPart>(*m_package, QStringLiteral("content.xml"))), m_limits(limits),
          m_budget(limits.lngCells)
    {
        int intTable = 0;
        for (;;) {
            const QXmlStreamReader::TokenType token = m_part->Next();
            if (token == QXmlStreamReader::EndDocument)
                throw WorkbookError(WorkbookError::Damaged());
            if (token != QXmlStreamReader::StartElement || IsContainer(*m_part))
                continue;
            if (IsStart(*m_part, kTableNs, u"table") && intTable++ == intIndex)
                break;
            m_part->SkipElement();
        }
    }

    bool NextRow(WorkbookRow& row) override
    {
        if (m_lngPendingRepeats > 0) {
            --m_lngPendingRepeats;
            row.lngRow = m_lngNextRow++;
            row.cells = m_pendingCells;
            m_budget.Spend(int64_t(row.cells.size()));
            return true;
        }
        while (m_part) {
            const QXmlStreamReader::TokenType token = m_part->Next();
            if (token == QXmlStreamReader::EndElement) {
                if (m_intGroupDepth-- == 0) {
                    // The table's end: the package's file is let go at once.
                    m_part.reset();
                    m_package.reset();
                }
                continue;
            }
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (IsStart(*m_part, kTableNs, u"table-row")) {
                if (ReadRow(row))
                    return true;
            } else if (IsStart(*m_part, kTableNs, u"table-row-group") || IsStart(*m_part, kTableNs, u"table-rows")
                       || IsStart(*m_part, kTableNs, u"table-header-rows")) {
                ++m_intGroupDepth;
            } else {
                m_part->SkipElement();  // columns, shapes, forms
            }
        }
        return false;
    }

private:
    // At a <table:table-row>: its cells, read past its end; the first of its
    // repeats when it holds a value, false when it holds none.
    bool ReadRow(WorkbookRow& row)
    {
        const int64_t lngRepeats = RepeatCount(m_part->Reader().attributes(), u"number-rows-repeated");
        const int64_t lngFirstRow = m_lngNextRow;
        m_lngNextRow += lngRepeats;

        row.cells.clear();
        int64_t lngColumns = 0;  // the positions passed
        for (;;) {
            const QXmlStreamReader::TokenType token = m_part->Next();
            if (token == QXmlStreamReader::EndElement)
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            const bool blnCell = IsStart(*m_part, kTableNs, u"table-cell");
            if (!blnCell && !IsStart(*m_part, kTableNs, u"covered-table-cell")) {
                m_part->SkipElement();
                continue;
            }
            const int64_t lngCellRepeats = RepeatCount(m_part->Reader().attributes(), u"number-columns-repeated");
            // A cell under a merged one shows nothing, whatever it keeps.
            WorkbookCell cell;
            if (blnCell)
                cell = ReadCell(*m_part);
            else
                m_part->SkipElement();
            lngColumns = std::min<int64_t>(lngColumns + lngCellRepeats, int64_t(1) << 41);
            if (cell.IsEmpty())
                continue;
            if (lngColumns > m_limits.lngColumns)
                throw WorkbookError(WorkbookError::PastTheLimits());
            m_budget.Spend(lngColumns - int64_t(row.cells.size()));
            row.cells.resize(size_t(lngColumns - lngCellRepeats));
            row.cells.insert(row.cells.end(), size_t(lngCellRepeats), cell);
        }
        if (row.cells.empty())
            return false;
        if (lngFirstRow + lngRepeats - 1 > m_limits.lngRows)
            throw WorkbookError(WorkbookError::PastTheLimits());
        row.lngRow = lngFirstRow;
        if (lngRepeats > 1) {
            m_pendingCells = row.cells;
            m_lngPendingRepeats = lngRepeats - 1;
            m_lngNextRow = lngFirstRow + 1;
        }
        return true;
    }

    std::unique_ptr<ZipPackage> m_package;
    std::unique_ptr<ZipXmlPart> m_part;  // reads m_package: let go first
    WorkbookLimits m_limits;
    CellBudget m_budget;
    int m_intGroupDepth = 0;  // row groups open inside the table
    int64_t m_lngNextRow = 1;
    std::vector<WorkbookCell> m_pendingCells;  // a row repeated, given once per call
    int64_t m_lngPendingRepeats = 0;
};

class OdsWorkbook : public Workbook {
public:
    OdsWorkbook(QString strPath, const WorkbookLimits& limits, QStringList sheetNames)
        : m_strPath(std::move(strPath)), m_limits(limits), m_sheetNames(std::move(sheetNames))
    {
    }

    QStringList SheetNames() const override { return m_sheetNames; }

    std::unique_ptr<WorkbookSheet> OpenSheet(int intIndex) override
    {
        if (intIndex < 0 || intIndex >= m_sheetNames.size())
            throw std::out_of_range("no such sheet");
        return std::make_unique<OdsSheet>(m_strPath, m_limits, intIndex);
    }

private:
    QString m_strPath;
    WorkbookLimits m_limits;
    QStringList m_sheetNames;
};

bool IsEncrypted(ZipPackage& package)
{
    const QString strManifest = QStringLiteral("META-INF/manifest.xml");
    if (!package.Has(strManifest))
        return false;
    ZipXmlPart part(package, strManifest);
    while (part.Next() != QXmlStreamReader::EndDocument) {
        if (part.IsStart(u"encryption-data"))
            return true;
    }
    return false;
}

}  // namespace

std::unique_ptr<Workbook> OpenOds(std::unique_ptr<ZipPackage> package, const QString& strPath,
                                  const WorkbookLimits& limits)
{
    if (IsEncrypted(*package))
        throw WorkbookError(WorkbookError::Encrypted());
    const QString strContent = QStringLiteral("content.xml");
    if (!package->Has(strContent))
        throw WorkbookError(WorkbookError::NotAWorkbook());

    QStringList sheetNames;
    bool blnSpreadsheet = false;
    {
        ZipXmlPart part(*package, strContent);
        for (QXmlStreamReader::TokenType token; (token = part.Next()) != QXmlStreamReader::EndDocument;) {
            if (token != QXmlStreamReader::StartElement || IsContainer(part)) {
                blnSpreadsheet = blnSpreadsheet || IsStart(part, kOfficeNs, u"spreadsheet");
                continue;
            }
            if (blnSpreadsheet && IsStart(part, kTableNs, u"table"))
                sheetNames << AttributeIn(part.Reader().attributes(), kTableNs, u"name").toString();
            part.SkipElement();
        }
    }
    if (!blnSpreadsheet)
        throw WorkbookError(WorkbookError::NotAWorkbook());
    if (sheetNames.isEmpty())
        throw WorkbookError(WorkbookError::NoSheet());
    return std::make_unique<OdsWorkbook>(strPath, limits, std::move(sheetNames));
}
