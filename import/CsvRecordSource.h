#pragma once

#include "RecordReader.h"
#include "RecordSource.h"

class TextStream;

// The records of a CSV text, split into their fields.
class CsvRecordSource : public RecordSource {
public:
    // firstLineNumber: the physical line number of the stream's next line.
    explicit CsvRecordSource(TextStream& stream, int64_t firstLineNumber = 1);

    bool AtEnd() override { return m_reader.AtEndOfStream(); }
    // A record that cannot be read or split comes back with the reason as a
    // fault of the whole record, with the fields split before it.
    SourceRecord Next() override;

    // The record that begins at lngLineNumber, split.
    static SourceRecord Split(const QString& strRecord, int64_t lngLineNumber);
    // A header line's names; raises what the field splitter raises.
    static QStringList HeaderFields(const QString& strHeaderLine);

    RecordReader& Reader() { return m_reader; }

private:
    RecordReader m_reader;
};
