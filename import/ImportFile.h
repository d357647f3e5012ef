#pragma once

#include "ImportPattern.h"
#include "RecordSource.h"
#include "RunFacts.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// How a file is to be read: as a pattern says, or as the template's file is.
struct SourceOptions {
    PatternEncoding encoding = PatternEncoding::Auto;
    int intHeaderRow = 1;  // 0: the file has no header line
    QString strSheet;      // a workbook's sheet, by its name or its number; empty: the first

    static SourceOptions Of(const ImportPattern& pattern)
    {
        return SourceOptions{pattern.encoding, pattern.intHeaderRow, pattern.strSheet};
    }
};

// An import file opened for its records.
class ImportFile {
public:
    virtual ~ImportFile() = default;

    // Reads past the lines above the header and the header itself, and
    // gives its fields (none for a file without one), each to onItem as it
    // is read when one is given: once onItem says no, no more are read.
    // Raises what reading raises, past the end of the file among it.
    virtual QStringList ReadHeader(const std::function<bool(QStringView)>& onItem = {}) = 0;
    // The header as it was read, to be recorded with the run.
    virtual QString HeaderLine() const = 0;
    // The records after the header.
    virtual RecordSource& Records() = 0;
    virtual void Close() = 0;
};

// A workbook (.xlsx, .xlsm, .ods, .xls, by its ending) is read by its
// cells, its sheet as options say; any other file as CSV text. Raises what
// opening the file raises (WorkbookError for a workbook that cannot be
// read, or a sheet it does not have). The digest DigestOfImportFile gives
// is taken as the file is opened, when one is asked for.
std::unique_ptr<ImportFile> OpenImportRecords(const QString& strPath, const SourceOptions& options,
                                              FileDigest* digest = nullptr);

// The digest a run records a file by, which the repeat check looks for: of
// a text file its bytes; of a workbook its bytes and the sheet read, so that
// two sheets of one workbook are two files to the repeat check. Raises what
// opening the file raises.
FileDigest DigestOfImportFile(const QString& strPath, const SourceOptions& options);

// The names of a workbook's sheets that hold a value, in its order: a
// clerk is asked which one when there are several. Raises WorkbookError.
QStringList SheetsHoldingData(const QString& strPath);
