#include "LineReader.h"

#include "Conversions.h"
#include "CsvRecordSource.h"
#include "ErrorReport.h"
#include "FieldSplitter.h"
#include "ImportColumns.h"
#include "RecordReader.h"
#include "RuntimeError.h"
#include "TextFile.h"

#include <QDate>

#include <algorithm>

namespace {

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

bool IsPartyField(PatternField field)
{
    return field == PatternField::PartyReading || field == PatternField::PartyName;
}

bool IsTradeFigure(PatternField field)
{
    return field == PatternField::Quantity || field == PatternField::UnitPrice || field == PatternField::Amount;
}

// The report code of a value the field cannot take.
QString CodeOfField(PatternField field)
{
    return field == PatternField::Amount ? QStringLiteral("CLS-is1002") : CodeOfColumn(int16_t(int(field) + 1));
}

}  // namespace

LineReader::LineReader(bool blnPurchase, const QStringList& headerNames)
    : LineReader(blnPurchase, ColumnMap::Template(headerNames))
{
}

LineReader::LineReader(bool blnPurchase, ColumnMap map) : m_blnPurchase(blnPurchase), m_map(std::move(map)) { }

QStringList LineReader::HeaderNames(const QString& strHeaderLine)
{
    return CsvRecordSource::HeaderFields(strHeaderLine);
}

ReadLine LineReader::Read(const QString& strRecord, int64_t lngLineNumber)
{
    return Read(CsvRecordSource::Split(strRecord, lngLineNumber));
}

ReadLine LineReader::Read(const SourceRecord& record)
{
    ReadLine line;
    line.lngLineNumber = record.lngLineNumber;
    line.strRecord = record.strRecord;
    if (record.blnNoData && record.faults.empty())
        return line;
    line.outcome = ReadLine::Outcome::Distributed;
    // A record the source could not read whole gives only the fields before the fault.
    const auto whole = std::find_if(record.faults.begin(), record.faults.end(),
                                    [](const SourceFault& fault) { return fault.intColumn == 0; });
    const bool blnCut = whole != record.faults.end();
    RecordState state;
    for (std::size_t i = 0; i < kPatternFieldCount; ++i) {
        const PatternField field = PatternField(i);
        const ColumnMap::Place& place = m_map.PlaceOf(field);
        if (place.intColumn == 0) {
            Take(line, state, field, place.strValue);
            continue;
        }
        if (blnCut && place.intColumn > record.fields.size())
            continue;
        const auto fault = std::find_if(record.faults.begin(), record.faults.end(),
                                        [&](const SourceFault& f) { return f.intColumn == place.intColumn; });
        if (fault != record.faults.end()) {
            Refuse(line, place.strName, CodeOfField(field), fault->strText, QStringView());
            state.blnUnread = state.blnUnread || IsPartyField(field);
            state.blnTradeUnread = state.blnTradeUnread || IsTradeFigure(field);
            continue;
        }
        // A short line reads as if its missing columns were present and empty.
        Take(line, state, field,
             place.intColumn <= record.fields.size() ? QStringView(record.fields[place.intColumn - 1]) : QStringView());
    }
    if (blnCut) {
        Refuse(line, QString(), QStringLiteral("CLS-is1001"), whole->strText, QStringView());
    } else {
        if (m_map.IsTemplate())
            CheckExtraColumns(line, record, state);
        CheckAmount(line, state);
        SettleParty(line, state);
    }
    line.party = m_party;
    if (!line.reasons.empty())
        line.outcome = ReadLine::Outcome::Failed;
    return line;
}

void LineReader::CheckExtraColumns(ReadLine& line, const SourceRecord& record, RecordState& state)
{
    int16_t intLastValue = 0;  // past the header's names
    for (qsizetype i = kImportColumnCount; i < record.fields.size(); ++i) {
        const int16_t intColumn = int16_t(qMin<qsizetype>(i + 1, INT16_MAX));
        const QString& strValue = record.fields[i];
        const auto fault = std::find_if(record.faults.begin(), record.faults.end(),
                                        [&](const SourceFault& f) { return f.intColumn == intColumn; });
        if (fault != record.faults.end())
            Refuse(line, m_map.HeaderName(intColumn), CodeOfColumn(intColumn), fault->strText, QStringView());
        else if (const QString strFault = ValueFault(strValue); !strFault.isEmpty())
            Refuse(line, m_map.HeaderName(intColumn), CodeOfColumn(intColumn), strFault, strValue);
        if (intColumn > m_map.NamedColumns() && !IsBlankText(strValue))
            intLastValue = intColumn;
    }
    // An unquoted comma in a value moves every later value one column on:
    // none of them is where the header says. Empty ones past the header
    // are a spreadsheet's trailing commas.
    if (intLastValue > 0) {
        Refuse(line, QString(), QStringLiteral("CLS-is1001"),
               QStringLiteral("項目の数がヘッダーより多くなっています（ヘッダー %1 項目、この行 %2 項目）。")
                   .arg(m_map.NamedColumns())
                   .arg(intLastValue),
               QStringView());
        state.blnUnread = true;
    }
}

void LineReader::SettleParty(ReadLine& line, const RecordState& state)
{
    if (state.blnUnread) {
        m_blnCarriedPartyUnread = true;
    } else if (state.blnGiven) {
        m_blnCarriedPartyUnread = false;
    } else if (m_blnCarriedPartyUnread) {
        const QString& strName = m_map.PlaceOf(PatternField::PartyName).strName;
        Refuse(line, strName, QStringLiteral("CLS-is1004"),
               QStringLiteral("前の行の%1を読み取れなかったため、引き継げません。").arg(strName), QStringView());
    }
}

void LineReader::Take(ReadLine& line, RecordState& state, PatternField field, QStringView strValue)
{
    // A value the file cannot have meant is never stored, so that no later line carries it down either.
    if (const QString strFault = ValueFault(strValue); !strFault.isEmpty()) {
        Refuse(line, m_map.PlaceOf(field).strName, CodeOfField(field), strFault, strValue);
        state.blnUnread = state.blnUnread || IsPartyField(field);
        state.blnTradeUnread = state.blnTradeUnread || IsTradeFigure(field);
        return;
    }
    ProductRecord& product = line.product;
    switch (field) {
    case PatternField::Date:
    case PatternField::Quantity:
    case PatternField::UnitPrice:
    case PatternField::Amount: return TakeTradeValue(line, state, field, strValue);
    case PatternField::Kind: line.strKind = TrimmedText(strValue); return;
    case PatternField::Maker: product.strMaker = TrimmedText(strValue); return;
    case PatternField::ProductReading: product.strReading = TrimmedText(strValue); return;
    case PatternField::ProductName: product.strProductName = TrimmedText(strValue); return;
    case PatternField::Model: product.strModel = TrimmedText(strValue); return;
    case PatternField::Spec: product.strSpec = TrimmedText(strValue); return;
    // The reading belongs to the name beside it: a blank name carries the
    // last party down whole, a given name takes its own reading, even an empty one.
    case PatternField::PartyReading: state.strReading = TrimmedText(strValue); return;
    case PatternField::PartyName:
        if (QString strName = TrimmedText(strValue); !strName.isEmpty()) {
            m_party.strPartyName = std::move(strName);
            m_party.strReading = state.strReading;
            state.blnGiven = true;
        }
        return;
    }
}

void LineReader::TakeTradeValue(ReadLine& line, RecordState& state, PatternField field, QStringView strValue)
{
    TradeRecord& trade = line.trade;
    int32_t& lngQuantity = m_blnPurchase ? trade.lngPurchaseQuantity : trade.lngSalesQuantity;
    int32_t& lngUnitPrice = m_blnPurchase ? trade.lngPurchaseUnitPrice : trade.lngSalesUnitPrice;
    int32_t& lngAmount = m_blnPurchase ? trade.lngPurchaseAmount : trade.lngSalesAmount;
    try {
        switch (field) {
        case PatternField::Date:
            trade.dtmTradeDate = m_map.DateFormat().isEmpty() ? CDate(strValue) : DateInForm(strValue);
            trade.intTradeKind = m_blnPurchase ? 0 : 1;
            break;
        case PatternField::Quantity: lngQuantity = CLng(strValue); break;
        case PatternField::UnitPrice:
            lngUnitPrice = CLng(strValue);
            lngAmount = MultiplyLong(lngQuantity, lngUnitPrice);
            break;
        case PatternField::Amount:
            // Only a pattern gives it; the template's file leaves it to the figures.
            if (!IsBlankText(strValue))
                state.givenAmount = CLng(strValue);
            break;
        default: break;
        }
    } catch (const std::exception& error) {
        Refuse(line, m_map.PlaceOf(field).strName, QStringLiteral("CLS-is1002"), ErrorDescription(error), strValue);
        state.blnTradeUnread = state.blnTradeUnread || field != PatternField::Date;
    }
}

double LineReader::DateInForm(QStringView strValue) const
{
    const QDate date = QDate::fromString(TrimmedText(strValue), m_map.DateFormat());
    if (!date.isValid())
        throw RuntimeError(ERR_TYPE_MISMATCH);
    return double(date.toJulianDay() - QDate(1899, 12, 30).toJulianDay());
}

void LineReader::CheckAmount(ReadLine& line, const RecordState& state)
{
    if (!state.givenAmount || state.blnTradeUnread)
        return;
    const TradeRecord& trade = line.trade;
    const int32_t lngComputed = m_blnPurchase ? trade.lngPurchaseAmount : trade.lngSalesAmount;
    if (*state.givenAmount == lngComputed)
        return;
    Refuse(line, m_map.PlaceOf(PatternField::Amount).strName, QStringLiteral("CLS-is1002"),
           QStringLiteral("金額が数量 × 単価と合いません（金額 %1、数量 × 単価 %2）。")
               .arg(*state.givenAmount)
               .arg(lngComputed),
           QString::number(*state.givenAmount));
}

void LineReader::Refuse(ReadLine& line, const QString& strColumn, const QString& strCode, const QString& strDescription,
                        QStringView strValue) const
{
    line.reasons.push_back(LineReason{strCode, strDescription, strColumn, WithUndecodableShown(strValue.toString())});
}

void ReadWindow(RecordSource& source, LineReader& lineReader, std::vector<ReadLine>& window, std::size_t lines,
                int alreadyRead, const std::function<void(const ReadLine&)>& onRead)
{
    // The text that lines read ahead may hold together, whatever number of
    // them the store would be told of at once.
    constexpr qsizetype kWindowChars = 4 * 1024 * 1024;
    window.clear();
    qsizetype chars = 0;
    // The line that would pass the read counter is read, and none after it.
    while (!source.AtEnd() && window.size() < lines && chars < kWindowChars
           && alreadyRead + int(window.size()) <= INT16_MAX) {
        ReadLine line = lineReader.ReadNext(source);
        if (line.outcome == ReadLine::Outcome::NoData)
            continue;
        chars += line.strRecord.size();
        if (onRead)
            onRead(line);
        window.push_back(std::move(line));
    }
}
