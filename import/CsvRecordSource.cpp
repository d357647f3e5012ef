#include "CsvRecordSource.h"

#include "ErrorReport.h"
#include "FieldSplitter.h"

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

}  // namespace

CsvRecordSource::CsvRecordSource(TextStream& stream, int64_t firstLineNumber) : m_reader(stream, firstLineNumber) { }

SourceRecord CsvRecordSource::Next()
{
    QString strRecord;
    try {
        strRecord = m_reader.ReadRecord();
    } catch (const std::exception& error) {
        SourceRecord record;
        record.lngLineNumber = m_reader.RecordLineNumber();
        record.faults.push_back(SourceFault{0, ErrorDescription(error)});
        // Kept as a line that says so, so that the refused lines never give
        // back an empty line in its place.
        record.strRecord = QStringLiteral("（%1 行目は長すぎるため保存できません: %2 バイトまで）")
                               .arg(record.lngLineNumber)
                               .arg(RecordReader::kLongestRecord);
        return record;
    }
    return Split(strRecord, m_reader.RecordLineNumber());
}

SourceRecord CsvRecordSource::Split(const QString& strRecord, int64_t lngLineNumber)
{
    SourceRecord record;
    record.lngLineNumber = lngLineNumber;
    record.strRecord = strRecord;
    if (CarriesNoData(strRecord)) {
        record.blnNoData = true;
        return record;
    }
    const QChar* begin = record.strRecord.constData();
    const QChar* end = begin + record.strRecord.size();
    record.fields.reserve(16);
    try {
        SplitFields(record.strRecord, [&](int16_t, QStringView strValue) {
            // A value the record holds as it stands is not copied: the record
            // keeps the text, and a field outlives it only as a copy of its own.
            const bool blnInRecord = strValue.data() >= begin && strValue.data() + strValue.size() <= end;
            record.fields.append(blnInRecord ? QString::fromRawData(strValue.data(), strValue.size())
                                             : strValue.toString());
            return true;
        });
    } catch (const std::exception& error) {
        record.faults.push_back(SourceFault{0, ErrorDescription(error)});
    }
    return record;
}

QStringList CsvRecordSource::HeaderFields(const QString& strHeaderLine)
{
    QStringList names;
    SplitFields(strHeaderLine, [&](int16_t, QStringView strName) {
        names << strName.toString();
        return true;
    });
    return names;
}
