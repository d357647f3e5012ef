#include "ColumnMap.h"

#include "ImportColumns.h"

namespace {

constexpr std::array<QStringView, kPatternFieldCount> kPatternFieldNames = {
    u"日付", u"種別", u"メーカー", u"製品ふりがな",   u"製品名", u"型式",
    u"仕様", u"数量", u"単価",     u"取引先ふりがな", u"取引先", u"金額",
};

QString Trimmed(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == QChar(0x3000)))
        ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == QChar(0x3000)))
        --end;
    return text.sliced(begin, end - begin);
}

}  // namespace

QString PatternFieldName(PatternField field) { return kPatternFieldNames[std::size_t(field)].toString(); }

ColumnMap ColumnMap::Template(const QStringList& headerNames)
{
    ColumnMap map;
    map.m_blnTemplate = true;
    map.m_headerNames = headerNames;
    map.m_intNamedColumns = kImportColumnCount;
    for (qsizetype i = 0; i < headerNames.size(); ++i) {
        if (i + 1 > map.m_intNamedColumns && !Trimmed(headerNames[i]).isEmpty())
            map.m_intNamedColumns = int16_t(i + 1);
    }
    for (int16_t intColumn = 1; intColumn <= kImportColumnCount; ++intColumn) {
        Place& place = map.m_places[std::size_t(intColumn - 1)];
        place.intColumn = intColumn;
        place.strName = headerNames.value(intColumn - 1);
    }
    return map;
}

std::optional<ColumnMap> ColumnMap::FromPattern(const ImportPattern& pattern, const QStringList& headerNames,
                                                QString* missing)
{
    ColumnMap map;
    map.m_headerNames = headerNames;
    map.m_strDateFormat = pattern.strDateFormat;
    for (std::size_t i = 0; i < kPatternFieldCount; ++i) {
        const PatternSource& source = pattern.sources[i];
        Place& place = map.m_places[i];
        switch (source.kind) {
        case PatternSource::Kind::Nothing: break;
        case PatternSource::Kind::Value: place.strValue = source.strText; break;
        case PatternSource::Kind::Number: place.intColumn = int16_t(qBound(1, source.intNumber, int(INT16_MAX))); break;
        case PatternSource::Kind::Header: {
            const QString strWanted = Trimmed(source.strText);
            for (qsizetype c = 0; c < headerNames.size() && place.intColumn == 0; ++c) {
                if (Trimmed(headerNames[c]) == strWanted)
                    place.intColumn = int16_t(c + 1);
            }
            if (place.intColumn == 0) {
                if (missing)
                    *missing = source.strText;
                return std::nullopt;
            }
            break;
        }
        }
        if (place.intColumn > 0) {
            const QString strHeader = Trimmed(headerNames.value(place.intColumn - 1));
            place.strName = strHeader.isEmpty() ? QStringLiteral("%1 列目").arg(place.intColumn) : strHeader;
        } else {
            place.strName = PatternFieldName(PatternField(i));
        }
    }
    return map;
}
