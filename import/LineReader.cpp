#include "LineReader.h"

#include "Conversions.h"
#include "ErrorReport.h"
#include "FieldSplitter.h"
#include "ImportColumns.h"
#include "RecordReader.h"
#include "TextFile.h"

namespace {

// An empty line or one made only of commas carries nothing to import.
bool CarriesNoData(const QString& line)
{
    for (const QChar c : line) {
        if (c != u',')
            return false;
    }
    return true;
}

bool IsBlank(QChar c) { return c == u' ' || c == QChar(0x3000); }

bool IsBlankText(QStringView text)
{
    for (const QChar c : text) {
        if (!IsBlank(c))
            return false;
    }
    return true;
}

QString Hex(unsigned value, int digits) { return QString::number(value, 16).toUpper().rightJustified(digits, u'0'); }

// Why a value cannot be what the file meant, or empty. A byte that did not
// decode comes first: the control character after it is often its own
// trail byte. A tab, and the line break a quoted value carries across
// lines, are text.
QString ValueFault(QStringView value)
{
    qsizetype control = -1;
    const char16_t* text = value.utf16();
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = text[i];
        // Nearly every character: neither a control nor one that stands for a byte.
        if (c >= 0x20 && (c < 0x7F || (c > 0x9F && (c < kUndecodableBase + 0x80 || c > kUndecodableBase + 0xFF))))
            continue;
        if (c < 0x20 ? c != u'\t' && c != u'\n' : c <= 0x9F) {
            if (control < 0)
                control = i;
        } else if (IsUndecodableAt(value, i)) {
            return QStringLiteral("UTF-8 でもシフトJIS でも読めないバイト（0x%1）があります。")
                .arg(Hex(UndecodableByte(value[i]), 2));
        }
    }
    if (control < 0)
        return QString();
    return QStringLiteral("制御文字（U+%1）が含まれています。").arg(Hex(value[control].unicode(), 4));
}

// Spaces a clerk typed around a name are no part of it, full-width ones included.
QString TrimmedText(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toString();
}

}  // namespace

LineReader::LineReader(bool blnPurchase, QStringList headerNames)
    : m_blnPurchase(blnPurchase), m_headerNames(std::move(headerNames)), m_intNamedColumns(kImportColumnCount)
{
    for (qsizetype i = 0; i < m_headerNames.size(); ++i) {
        if (i + 1 > m_intNamedColumns && !IsBlankText(m_headerNames[i]))
            m_intNamedColumns = int16_t(i + 1);
    }
}

QStringList LineReader::HeaderNames(const QString& strHeaderLine)
{
    QStringList names;
    SplitFields(strHeaderLine, [&](int16_t, QStringView strName) {
        names << strName.toString();
        return true;
    });
    return names;
}

ReadLine LineReader::ReadNext(RecordReader& reader)
{
    QString strRecord;
    try {
        strRecord = reader.ReadRecord();
    } catch (const std::exception& error) {
        ReadLine line;
        line.outcome = ReadLine::Outcome::Failed;
        line.lngLineNumber = reader.RecordLineNumber();
        Refuse(line, 0, QStringLiteral("CLS-is1001"), ErrorDescription(error), QStringView());
        // Kept as a line that says so, so that the refused lines never give
        // back an empty line in its place.
        line.strRecord = QStringLiteral("（%1 行目は長すぎるため保存できません: %2 バイトまで）")
                             .arg(line.lngLineNumber)
                             .arg(RecordReader::kLongestRecord);
        return line;
    }
    return Read(strRecord, reader.RecordLineNumber());
}

ReadLine LineReader::Read(const QString& strRecord, int64_t lngLineNumber)
{
    ReadLine line;
    line.lngLineNumber = lngLineNumber;
    line.strRecord = strRecord;
    if (CarriesNoData(strRecord))
        return line;
    line.outcome = ReadLine::Outcome::Distributed;
    PartyState party;
    try {
        int16_t intLastColumn = 0;
        int16_t intLastValue = 0;  // past the header's names
        SplitFields(strRecord, [&](int16_t intColumn, QStringView strValue) {
            Take(line, party, intColumn, strValue);
            if (intColumn > m_intNamedColumns && !IsBlankText(strValue))
                intLastValue = intColumn;
            intLastColumn = intColumn;
            return true;
        });
        // A short line reads as if its missing columns were present and empty.
        for (int16_t intColumn = intLastColumn + 1; intColumn <= kImportColumnCount; ++intColumn)
            Take(line, party, intColumn, QStringView());
        // An unquoted comma in a value moves every later value one column on:
        // none of them is where the header says. Empty ones past the header
        // are a spreadsheet's trailing commas.
        if (intLastValue > 0) {
            Refuse(line, 0, QStringLiteral("CLS-is1001"),
                   QStringLiteral("項目の数がヘッダーより多くなっています（ヘッダー %1 項目、この行 %2 項目）。")
                       .arg(m_intNamedColumns)
                       .arg(intLastValue),
                   QStringView());
            party.blnUnread = true;
        }
        SettleParty(line, party);
    } catch (const std::exception& error) {
        Refuse(line, 0, QStringLiteral("CLS-is1001"), ErrorDescription(error), QStringView());
    }
    line.party = m_party;
    if (!line.reasons.empty())
        line.outcome = ReadLine::Outcome::Failed;
    return line;
}

void LineReader::SettleParty(ReadLine& line, const PartyState& party)
{
    if (party.blnUnread) {
        m_blnCarriedPartyUnread = true;
    } else if (party.blnGiven) {
        m_blnCarriedPartyUnread = false;
    } else if (m_blnCarriedPartyUnread) {
        const int16_t intColumn = ColumnOf(ImportField::PartyName);
        Refuse(line, intColumn, QStringLiteral("CLS-is1004"),
               QStringLiteral("前の行の%1を読み取れなかったため、引き継げません。")
                   .arg(m_headerNames.value(intColumn - 1)),
               QStringView());
    }
}

void LineReader::Take(ReadLine& line, PartyState& party, int16_t intColumn, QStringView strValue)
{
    const bool blnPartyColumn = intColumn == ColumnOf(ImportField::PartyReading)
                                || intColumn == ColumnOf(ImportField::PartyName);
    // A value the file cannot have meant is never stored, so that no later line carries it down either.
    if (const QString strFault = ValueFault(strValue); !strFault.isEmpty()) {
        Refuse(line, intColumn, CodeOfColumn(intColumn), strFault, strValue);
        party.blnUnread = party.blnUnread || blnPartyColumn;
        return;
    }
    if (intColumn < 1 || intColumn > kImportColumnCount)
        return;
    ProductRecord& product = line.product;
    switch (kImportColumns[std::size_t(intColumn - 1)].field) {
    case ImportField::Date:
    case ImportField::Quantity:
    case ImportField::UnitPrice: return TakeTradeValue(line, intColumn, strValue);
    case ImportField::Kind: line.strKind = TrimmedText(strValue); return;
    case ImportField::Maker: product.strMaker = TrimmedText(strValue); return;
    case ImportField::ProductReading: product.strReading = TrimmedText(strValue); return;
    case ImportField::ProductName: product.strProductName = TrimmedText(strValue); return;
    case ImportField::Model: product.strModel = TrimmedText(strValue); return;
    case ImportField::Spec: product.strSpec = TrimmedText(strValue); return;
    // The reading belongs to the name beside it: a blank name carries the
    // last party down whole, a given name takes its own reading, even an empty one.
    case ImportField::PartyReading: party.strReading = TrimmedText(strValue); return;
    case ImportField::PartyName:
        if (QString strName = TrimmedText(strValue); !strName.isEmpty()) {
            m_party.strPartyName = std::move(strName);
            m_party.strReading = party.strReading;
            party.blnGiven = true;
        }
        return;
    }
}

void LineReader::TakeTradeValue(ReadLine& line, int16_t intColumn, QStringView strValue)
{
    TradeRecord& trade = line.trade;
    int32_t& lngQuantity = m_blnPurchase ? trade.lngPurchaseQuantity : trade.lngSalesQuantity;
    int32_t& lngUnitPrice = m_blnPurchase ? trade.lngPurchaseUnitPrice : trade.lngSalesUnitPrice;
    int32_t& lngAmount = m_blnPurchase ? trade.lngPurchaseAmount : trade.lngSalesAmount;
    try {
        switch (kImportColumns[std::size_t(intColumn - 1)].field) {
        case ImportField::Date:
            trade.dtmTradeDate = CDate(strValue);
            trade.intTradeKind = m_blnPurchase ? 0 : 1;
            break;
        case ImportField::Quantity: lngQuantity = CLng(strValue); break;
        case ImportField::UnitPrice:
            lngUnitPrice = CLng(strValue);
            lngAmount = MultiplyLong(lngQuantity, lngUnitPrice);
            break;
        default: break;
        }
    } catch (const std::exception& error) {
        Refuse(line, intColumn, QStringLiteral("CLS-is1002"), ErrorDescription(error), strValue);
    }
}

void LineReader::Refuse(ReadLine& line, int16_t intColumn, const QString& strCode, const QString& strDescription,
                        QStringView strValue) const
{
    const QString strColumn = intColumn > 0 ? m_headerNames.value(intColumn - 1) : QString();
    line.reasons.push_back(LineReason{strCode, strDescription, strColumn, WithUndecodableShown(strValue.toString())});
}

void ReadWindow(RecordReader& reader, LineReader& lineReader, std::vector<ReadLine>& window, std::size_t lines,
                int alreadyRead, const std::function<void(const ReadLine&)>& onRead)
{
    // The text that lines read ahead may hold together, whatever number of
    // them the store would be told of at once.
    constexpr qsizetype kWindowChars = 4 * 1024 * 1024;
    window.clear();
    qsizetype chars = 0;
    // The line that would pass the read counter is read, and none after it.
    while (!reader.AtEndOfStream() && window.size() < lines && chars < kWindowChars
           && alreadyRead + int(window.size()) <= INT16_MAX) {
        ReadLine line = lineReader.ReadNext(reader);
        if (line.outcome == ReadLine::Outcome::NoData)
            continue;
        chars += line.strRecord.size();
        if (onRead)
            onRead(line);
        window.push_back(std::move(line));
    }
}
