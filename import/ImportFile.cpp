#include "ImportFile.h"

#include "CsvRecordSource.h"
#include "FieldSplitter.h"
#include "RunFacts.h"
#include "TextFile.h"
#include "workbook/Workbook.h"
#include "workbook/WorkbookRecordSource.h"

#include <algorithm>

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

// A sheet by its name, else by its number counted from 1.
int SheetIndex(const QStringList& names, const QString& strSheet)
{
    if (strSheet.isEmpty())
        return 0;
    const qsizetype intByName = names.indexOf(strSheet);
    if (intByName >= 0)
        return int(intByName);
    bool blnNumber = false;
    const int intNumber = strSheet.toInt(&blnNumber);
    if (blnNumber && intNumber >= 1 && intNumber <= names.size())
        return intNumber - 1;
    throw WorkbookError(QStringLiteral("ブックにシート「%1」がありません。").arg(strSheet));
}

// A sheet's identity: the workbook's bytes, then the sheet's name.
FileDigest SheetDigest(const FileDigest& bytes, const QString& strSheet)
{
    Sha256 hash;
    const QByteArray identity = bytes.strSha256 + '\n' + strSheet.toUtf8();
    hash.Add(identity.constData(), identity.size());
    FileDigest digest = hash.Finish();
    digest.lngSize = bytes.lngSize;
    return digest;
}

// A workbook's sheet, read by its cells: the header row's fields, then the
// rows below it.
class WorkbookImportFile : public ImportFile {
public:
    WorkbookImportFile(const QString& strPath, const SourceOptions& options, FileDigest* digest)
    {
        // The bytes the run records are those the cells were read from, unless the file changes between.
        const FileDigest bytes = digest ? DigestFile(strPath) : FileDigest();
        std::unique_ptr<Workbook> book = Workbook::Open(strPath);
        const QStringList names = book->SheetNames();
        const int intSheet = SheetIndex(names, options.strSheet);
        if (digest)
            *digest = SheetDigest(bytes, names[intSheet]);
        m_source = std::make_unique<WorkbookRecordSource>(book->OpenSheet(intSheet), names[intSheet],
                                                          std::max(options.intHeaderRow, 0));
    }

    QStringList ReadHeader(const std::function<bool(QStringView)>& onItem) override
    {
        const QStringList items = m_source->HeaderFields();
        m_strHeaderLine = CsvLineOf(items);
        if (onItem) {
            for (const QString& strItem : items) {
                if (!onItem(strItem))
                    break;
            }
        }
        return items;
    }
    QString HeaderLine() const override { return m_strHeaderLine; }
    RecordSource& Records() override { return *m_source; }
    void Close() override { }

private:
    std::unique_ptr<WorkbookRecordSource> m_source;
    QString m_strHeaderLine;
};

}  // namespace

FileDigest DigestOfImportFile(const QString& strPath, const SourceOptions& options)
{
    if (!IsWorkbookPath(strPath))
        return DigestFile(strPath);
    const FileDigest bytes = DigestFile(strPath);
    const QStringList names = Workbook::Open(strPath)->SheetNames();
    return SheetDigest(bytes, names[SheetIndex(names, options.strSheet)]);
}

std::unique_ptr<ImportFile> OpenImportRecords(const QString& strPath, const SourceOptions& options, FileDigest* digest)
{
    if (IsWorkbookPath(strPath))
        return std::make_unique<WorkbookImportFile>(strPath, options, digest);
    return std::make_unique<CsvImportFile>(strPath, options, digest);
}

QStringList SheetsHoldingData(const QString& strPath)
{
    std::unique_ptr<Workbook> book = Workbook::Open(strPath);
    const QStringList names = book->SheetNames();
    QStringList holding;
    for (int i = 0; i < names.size(); ++i) {
        WorkbookRow row;
        if (book->OpenSheet(i)->NextRow(row))
            holding << names[i];
    }
    return holding;
}
