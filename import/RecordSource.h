#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// Why a source could not give a record whole: one field of it, or all of it.
struct SourceFault {
    int16_t intColumn = 0;  // the file's column, counted from 1; 0: the whole record
    QString strText;        // the reason, as the clerk reads it
};

// One record as its source read it: the file's own fields, column 1 first.
struct SourceRecord {
    // Where it begins: the physical line of a text file, the row of a sheet.
    int64_t lngLineNumber = 0;
    // As the source has it, for the refused lines the ledger keeps.
    QString strRecord;
    // They may share strRecord's text rather than copy it: a field kept
    // past its record is copied first (QString(field) is not a copy).
    QStringList fields;
    // Refuse the line, each with its reason.
    std::vector<SourceFault> faults;
    // Carries nothing to import (an empty line, a row without a value).
    bool blnNoData = false;
};

// The records of one file in order: a CSV text, a workbook's sheet. The line
// reader turns each into a line, whatever the source.
class RecordSource {
public:
    virtual ~RecordSource() = default;

    virtual bool AtEnd() = 0;
    // The next record. A record that cannot be read comes back with a fault;
    // what stops the whole file from being read is raised.
    virtual SourceRecord Next() = 0;
    // How reports name a line's place besides its number: a workbook's sheet
    // (「売上」シート); empty for a text file.
    virtual QString PlaceName() const { return QString(); }
};
