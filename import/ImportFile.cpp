#include "ImportFile.h"

#include "CsvRecordSource.h"
#include "FieldSplitter.h"
#include "TextFile.h"

namespace {

class CsvImportFile : public ImportFile {
public:
    CsvImportFile(const QString& strPath, const SourceOptions& options, FileDigest* digest)
        : m_intHeaderRow(options.intHeaderRow)
    {
        switch (options.encoding) {
        case PatternEncoding::Auto:
            if (digest)
                m_stream = m_fso.OpenTextFileWithDigest(strPath, *digest);
            else
                m_stream = m_fso.OpenTextFile(strPath, ForReading, false, TristateUseDefault);
            break;
        case PatternEncoding::Cp932: m_stream = m_fso.OpenTextFileIn(strPath, TextEncoding::Cp932, digest); break;
        case PatternEncoding::Utf8: m_stream = m_fso.OpenTextFileIn(strPath, TextEncoding::Utf8, digest); break;
        }
        m_source = std::make_unique<CsvRecordSource>(*m_stream);
    }
    ~CsvImportFile() override
    {
        // The reader goes before the stream it reads.
        m_source.reset();
        m_stream.reset();
    }

    QStringList ReadHeader(const std::function<bool(QStringView)>& onItem) override
    {
        RecordReader& reader = m_source->Reader();
        for (int i = 1; i < m_intHeaderRow; ++i)
            reader.ReadRecord();
        if (m_intHeaderRow < 1)
            return QStringList();
        // No undecodable byte goes further than the reading.
        m_strHeaderLine = WithUndecodableShown(reader.ReadRecord());
        QStringList items;
        SplitFields(m_strHeaderLine, [&](int16_t, QStringView strItem) {
            items << strItem.toString();
            return !onItem || onItem(strItem);
        });
        return items;
    }
    QString HeaderLine() const override { return m_strHeaderLine; }
    RecordSource& Records() override { return *m_source; }
    void Close() override { m_stream->Close(); }

private:
    FileSystemObject m_fso;
    std::unique_ptr<TextStream> m_stream;
    std::unique_ptr<CsvRecordSource> m_source;
    int m_intHeaderRow;
    QString m_strHeaderLine;
};

}  // namespace

std::unique_ptr<ImportFile> OpenImportRecords(const QString& strPath, const SourceOptions& options, FileDigest* digest)
{
    return std::make_unique<CsvImportFile>(strPath, options, digest);
}
