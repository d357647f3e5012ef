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
    try {
        SplitFields(strRecord, [&](int16_t, QStringView strValue) {
            record.fields.append(strValue.toString());
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
