// Office Open XML workbooks (.xlsx, .xlsm): the package's relationships, the
// workbook, its shared strings and cell styles, and one sheet read as it
// inflates.
#include "workbook/WorkbookReaders.h"
#include "workbook/XlsxNumberFormats.h"
#include "workbook/ZipPart.h"

#include <QHash>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

struct Relationship {
    QString strType;
    QString strPart;  // empty for a target outside the package
};

bool IsOfType(const Relationship& relationship, QStringView strKind)
{
    // Transitional and strict packages differ only before the last slash.
    return relationship.strType.endsWith(u'/' + strKind.toString());
}

// The relationships of strSourcePart ("" for the package's own), by ID.
QHash<QString, Relationship> ReadRelationships(ZipPackage& package, const QString& strSourcePart)
{
    const QString strFolder = PartFolder(strSourcePart);
    const QString strPrefix = strFolder.isEmpty() ? QString() : strFolder + u'/';
    const QString strRelsPart =
        strPrefix + QStringLiteral("_rels/") + strSourcePart.mid(strPrefix.size()) + QStringLiteral(".rels");
    QHash<QString, Relationship> relationships;
    if (!package.Has(strRelsPart))
        return relationships;
    ZipXmlPart part(package, strRelsPart);
    while (part.Next() != QXmlStreamReader::EndDocument) {
        if (!part.IsStart(u"Relationship"))
            continue;
        const QXmlStreamAttributes attributes = part.Reader().attributes();
        if (AttributeByLocalName(attributes, u"TargetMode") == u"External")
            continue;
        relationships.insert(AttributeByLocalName(attributes, u"Id").toString(),
                             {AttributeByLocalName(attributes, u"Type").toString(),
                              ResolvePartName(strFolder, AttributeByLocalName(attributes, u"Target"))});
    }
    return relationships;
}

// Excel writes characters XML cannot hold (and _ before such a pattern) as _xHHHH_.
QString DecodeEscapes(QString strText)
{
    qsizetype intAt = strText.indexOf(u"_x");
    if (intAt < 0)
        return strText;
    QString strDecoded;
    qsizetype intFrom = 0;
    for (; intAt >= 0; intAt = strText.indexOf(u"_x", intAt)) {
        bool blnHex = false;
        const ushort intCode = intAt + 7 <= strText.size() && strText[intAt + 6] == u'_'
                                   ? QStringView(strText).mid(intAt + 2, 4).toUShort(&blnHex, 16)
                                   : 0;
        if (!blnHex) {
            intAt += 2;
            continue;
        }
        strDecoded += QStringView(strText).mid(intFrom, intAt - intFrom);
        strDecoded += QChar(intCode);
        intAt += 7;
        intFrom = intAt;
    }
    strDecoded += QStringView(strText).mid(intFrom);
    return strDecoded;
}

// The text of a string item (<si>, <is>): its runs joined; the phonetic
// guide (<rPh>) is not part of it. Reads past the item's end.
QString StringItemText(ZipXmlPart& part)
{
    QString strText;
    for (int intDepth = 1; intDepth > 0;) {
        switch (part.Next()) {
        case QXmlStreamReader::StartElement:
            if (part.IsStart(u"t"))
                strText += part.ElementText();
            else if (part.IsStart(u"rPh") || part.IsStart(u"phoneticPr"))
                part.SkipElement();
            else
                ++intDepth;
            break;
        case QXmlStreamReader::EndElement: --intDepth; break;
        case QXmlStreamReader::EndDocument: throw WorkbookError(WorkbookError::Damaged());
        default: break;
        }
    }
    return DecodeEscapes(std::move(strText));
}

// The shared strings, their texts end to end: one allocation for all.
class SharedStrings {
public:
    void Add(const QString& strText)
    {
        m_strTexts += strText;
        m_ends.push_back(m_strTexts.size());
    }
    size_t Count() const { return m_ends.size(); }
    QString At(size_t index) const
    {
        const qsizetype intStart = index == 0 ? 0 : m_ends[index - 1];
        return m_strTexts.mid(intStart, m_ends[index] - intStart);
    }

private:
    QString m_strTexts;
    std::vector<qsizetype> m_ends;
};

// What every sheet of a workbook reads alike.
struct XlsxBook {
    QString strPath;
    WorkbookLimits limits;
    bool blnDate1904 = false;
    SharedStrings strings;
    std::vector<NumberFormatKind> styles;  // by the cell's style index (s)
};

void ReadSharedStrings(ZipPackage& package, const QString& strPart, SharedStrings& strings)
{
    ZipXmlPart part(package, strPart);
    while (part.Next() != QXmlStreamReader::EndDocument) {
        if (part.IsStart(u"si"))
            strings.Add(StringItemText(part));
    }
}

// The kind of number format of each cell style.
std::vector<NumberFormatKind> ReadStyles(ZipPackage& package, const QString& strPart)
{
    QHash<int, QString> formatCodes;
    std::vector<int> formatIds;
    ZipXmlPart part(package, strPart);
    int intCellXfsDepth = 0;  // inside <cellXfs> at this depth, 0: outside
    int intDepth = 0;
    for (QXmlStreamReader::TokenType token; (token = part.Next()) != QXmlStreamReader::EndDocument;) {
        if (token == QXmlStreamReader::EndElement) {
            if (intDepth-- == intCellXfsDepth)
                intCellXfsDepth = 0;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        ++intDepth;
        const QXmlStreamAttributes attributes = part.Reader().attributes();
        if (part.IsStart(u"numFmt")) {
            formatCodes.insert(AttributeByLocalName(attributes, u"numFmtId").toInt(),
                               AttributeByLocalName(attributes, u"formatCode").toString());
        } else if (part.IsStart(u"cellXfs")) {
            intCellXfsDepth = intDepth;
        } else if (part.IsStart(u"xf") && intCellXfsDepth != 0 && intDepth == intCellXfsDepth + 1) {
            formatIds.push_back(AttributeByLocalName(attributes, u"numFmtId").toInt());
        }
    }
    std::vector<NumberFormatKind> kinds;
    kinds.reserve(formatIds.size());
    for (const int intFormatId : formatIds)
        kinds.push_back(NumberFormatKindOf(intFormatId, formatCodes.value(intFormatId)));
    return kinds;
}

// The column of a cell reference ("D7" is 4); 0 when it names none.
int64_t ColumnOfReference(QStringView strReference)
{
    int64_t lngColumn = 0;
    qsizetype i = 0;
    for (; i < strReference.size() && i < 4; ++i) {
        const char16_t ch = strReference[i].unicode();
        if (ch >= u'A' && ch <= u'Z')
            lngColumn = lngColumn * 26 + (ch - u'A' + 1);
        else if (ch >= u'a' && ch <= u'z')
            lngColumn = lngColumn * 26 + (ch - u'a' + 1);
        else
            break;
    }
    return i == 0 ? 0 : lngColumn;
}

double NumberOf(QStringView strValue)
{
    bool blnNumber = false;
    const double dblValue = strValue.trimmed().toDouble(&blnNumber);
    if (!blnNumber || !std::isfinite(dblValue))
        throw WorkbookError(WorkbookError::Damaged());
    return dblValue;
}

class XlsxSheet : public WorkbookSheet {
public:
    XlsxSheet(std::shared_ptr<const XlsxBook> book, const QString& strPart)
        : m_book(std::move(book)), m_package(std::make_unique<ZipPackage>(m_book->strPath, m_book->limits)),
          m_part(std::make_unique<ZipXmlPart>(*m_package, strPart)), m_budget(m_book->limits.lngCells)
    {
    }

    bool NextRow(WorkbookRow& row) override
    {
        while (m_part) {
            const QXmlStreamReader::TokenType token = m_part->Next();
            if (token == QXmlStreamReader::EndDocument || (token == QXmlStreamReader::EndElement && m_blnInData)) {
                // Done: the package's file is let go at once.
                m_part.reset();
                m_package.reset();
                break;
            }
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (!m_blnInRoot) {
                m_blnInRoot = true;
            } else if (m_blnInData) {
                if (!m_part->IsStart(u"row"))
                    m_part->SkipElement();
                else if (ReadRow(row))
                    return true;
            } else if (m_part->IsStart(u"sheetData")) {
                m_blnInData = true;
            } else {
                m_part->SkipElement();
            }
        }
        return false;
    }

private:
    // At a <row>: its cells, read past its end; false when none holds a value.
    bool ReadRow(WorkbookRow& row)
    {
        const QXmlStreamAttributes attributes = m_part->Reader().attributes();
        const QStringView strNumber = AttributeByLocalName(attributes, u"r");
        int64_t lngRow = m_lngLastRow + 1;
        if (!strNumber.isEmpty()) {
            bool blnNumber = false;
            lngRow = strNumber.toLongLong(&blnNumber);
            if (!blnNumber)
                throw WorkbookError(WorkbookError::Damaged());
        }
        // A row given twice, or out of order, would be read as two lines.
        if (lngRow <= m_lngLastRow)
            throw WorkbookError(WorkbookError::Damaged());
        if (lngRow > m_book->limits.lngRows)
            throw WorkbookError(WorkbookError::PastTheLimits());
        m_lngLastRow = lngRow;

        row.lngRow = lngRow;
        row.cells.clear();
        int64_t lngLastColumn = 0;
        for (;;) {
            const QXmlStreamReader::TokenType token = m_part->Next();
            if (token == QXmlStreamReader::EndElement)
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (!m_part->IsStart(u"c")) {
                m_part->SkipElement();
                continue;
            }
            const QXmlStreamAttributes cellAttributes = m_part->Reader().attributes();
            const QStringView strReference = AttributeByLocalName(cellAttributes, u"r");
            const int64_t lngColumn = strReference.isEmpty() ? lngLastColumn + 1 : ColumnOfReference(strReference);
            if (lngColumn <= lngLastColumn)
                throw WorkbookError(WorkbookError::Damaged());
            if (lngColumn > m_book->limits.lngColumns)
                throw WorkbookError(WorkbookError::PastTheLimits());
            lngLastColumn = lngColumn;
            WorkbookCell cell = ReadCell(cellAttributes);
            if (cell.IsEmpty())
                continue;
            m_budget.Spend(lngColumn - int64_t(row.cells.size()));
            row.cells.resize(size_t(lngColumn));
            row.cells.back() = std::move(cell);
        }
        return !row.cells.empty();
    }

    // At a <c>: its value by its type, read past its end.
    WorkbookCell ReadCell(const QXmlStreamAttributes& attributes)
    {
        const QStringView strType = AttributeByLocalName(attributes, u"t");
        const QStringView strStyle = AttributeByLocalName(attributes, u"s");
        const size_t intStyle = strStyle.isEmpty() ? 0 : strStyle.toUInt();

        // Kept from cell to cell: a number's text costs no allocation.
        QString& strValue = m_strValue;
        strValue.resize(0);
        QString strInline;
        bool blnValueGiven = false;
        bool blnInline = false;
        bool blnFormula = false;
        for (;;) {
            const QXmlStreamReader::TokenType token = m_part->Next();
            if (token == QXmlStreamReader::EndElement)
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (m_part->IsStart(u"v")) {
                m_part->ElementTextInto(strValue);
                blnValueGiven = true;
            } else if (m_part->IsStart(u"is")) {
                strInline = StringItemText(*m_part);
                blnInline = true;
            } else {
                blnFormula = blnFormula || m_part->IsStart(u"f");
                m_part->SkipElement();
            }
        }

        if (strType == u"inlineStr")
            return TextCell(blnInline ? strInline : DecodeEscapes(strValue));
        // A formula's text result may be the empty text.
        if (strType == u"str" && blnValueGiven)
            return TextCell(DecodeEscapes(strValue));
        if (strValue.isEmpty()) {
            // A formula saved without its result (as some writers do) has no value to import.
            return blnFormula ? WorkbookCell::OfError(QString()) : WorkbookCell();
        }
        if (strType == u"s") {
            bool blnIndex = false;
            const qulonglong lngIndex = QStringView(strValue).trimmed().toULongLong(&blnIndex);
            if (!blnIndex || lngIndex >= m_book->strings.Count())
                throw WorkbookError(WorkbookError::Damaged());
            return TextCell(m_book->strings.At(size_t(lngIndex)));
        }
        if (strType == u"b") {
            const QStringView strBoolean = QStringView(strValue).trimmed();
            return WorkbookCell::OfBoolean(strBoolean == u"1" || strBoolean == u"true");
        }
        if (strType == u"e")
            return WorkbookCell::OfError(strValue.trimmed());
        if (strType == u"d") {
            // An ISO 8601 date and time; the day is what counts.
            const QDate date = QDate::fromString(strValue.trimmed().left(10), Qt::ISODate);
            if (!date.isValid())
                throw WorkbookError(WorkbookError::Damaged());
            return WorkbookCell::OfDate(date);
        }
        if (!strType.isEmpty() && strType != u"n")
            throw WorkbookError(WorkbookError::Damaged());
        const double dblNumber = NumberOf(strValue);
        const NumberFormatKind kind = intStyle < m_book->styles.size() ? m_book->styles[intStyle]
                                                                       : NumberFormatKind::Plain;
        if (kind == NumberFormatKind::Date)
            return DateCellOfSerial(dblNumber, m_book->blnDate1904);
        return WorkbookCell::OfNumber(dblNumber);
    }

    std::shared_ptr<const XlsxBook> m_book;
    std::unique_ptr<ZipPackage> m_package;
    std::unique_ptr<ZipXmlPart> m_part;  // reads m_package: let go first
    CellBudget m_budget;
    QString m_strValue;
    bool m_blnInRoot = false;
    bool m_blnInData = false;
    int64_t m_lngLastRow = 0;
};

class XlsxWorkbook : public Workbook {
public:
    struct Sheet {
        QString strName;
        QString strPart;
    };

    XlsxWorkbook(std::shared_ptr<const XlsxBook> book, std::vector<Sheet> sheets)
        : m_book(std::move(book)), m_sheets(std::move(sheets))
    {
    }

    QStringList SheetNames() const override
    {
        QStringList names;
        for (const Sheet& sheet : m_sheets)
            names << sheet.strName;
        return names;
    }

    std::unique_ptr<WorkbookSheet> OpenSheet(int intIndex) override
    {
        if (intIndex < 0 || size_t(intIndex) >= m_sheets.size())
            throw std::out_of_range("no such sheet");
        return std::make_unique<XlsxSheet>(m_book, m_sheets[size_t(intIndex)].strPart);
    }

private:
    std::shared_ptr<const XlsxBook> m_book;
    std::vector<Sheet> m_sheets;
};

}  // namespace

std::unique_ptr<Workbook> OpenXlsx(std::unique_ptr<ZipPackage> package, const QString& strPath,
                                   const WorkbookLimits& limits)
{
    auto book = std::make_shared<XlsxBook>();
    book->strPath = strPath;
    book->limits = limits;

    QString strWorkbookPart;
    for (const Relationship& relationship : ReadRelationships(*package, QString())) {
        if (IsOfType(relationship, u"officeDocument"))
            strWorkbookPart = relationship.strPart;
    }
    if (strWorkbookPart.isEmpty())
        strWorkbookPart = QStringLiteral("xl/workbook.xml");
    // A binary workbook (.xlsb) or a document of another kind.
    if (!strWorkbookPart.endsWith(u".xml", Qt::CaseInsensitive) || !package->Has(strWorkbookPart))
        throw WorkbookError(WorkbookError::NotAWorkbook());
    const QHash<QString, Relationship> relationships = ReadRelationships(*package, strWorkbookPart);

    std::vector<XlsxWorkbook::Sheet> sheets;
    {
        ZipXmlPart part(*package, strWorkbookPart);
        while (part.Next() != QXmlStreamReader::EndDocument) {
            const QXmlStreamAttributes attributes = part.Reader().attributes();
            if (part.IsStart(u"workbookPr")) {
                const QStringView strDate1904 = AttributeByLocalName(attributes, u"date1904");
                book->blnDate1904 = strDate1904 == u"1" || strDate1904 == u"true";
            } else if (part.IsStart(u"sheet")) {
                const Relationship relationship =
                    relationships.value(AttributeByLocalName(attributes, u"id").toString());
                // Chart sheets and the like hold no cells.
                if (IsOfType(relationship, u"worksheet") && !relationship.strPart.isEmpty())
                    sheets.push_back({AttributeByLocalName(attributes, u"name").toString(), relationship.strPart});
            }
        }
    }
    if (sheets.empty())
        throw WorkbookError(WorkbookError::NoSheet());

    for (const Relationship& relationship : relationships) {
        if (relationship.strPart.isEmpty())
            continue;
        if (IsOfType(relationship, u"sharedStrings"))
            ReadSharedStrings(*package, relationship.strPart, book->strings);
        else if (IsOfType(relationship, u"styles"))
            book->styles = ReadStyles(*package, relationship.strPart);
    }
    return std::make_unique<XlsxWorkbook>(std::move(book), std::move(sheets));
}
