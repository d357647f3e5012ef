#pragma once

#include "ImportPattern.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

// The import patterns a ledger keeps, by name, so that an office sharing a
// ledger shares them; an undo never touches them. Each operation raises
// RuntimeError (ERR_AUTOMATION, with the reason) when the ledger cannot be
// read or written.
class clsLedgerPatterns {
public:
    virtual ~clsLedgerPatterns() = default;

    // By name.
    virtual std::vector<ImportPattern> Patterns() = 0;
    // Replaces one of the same name.
    virtual void SavePattern(const ImportPattern& pattern) = 0;
    // False when there is none of that name.
    virtual bool DeletePattern(const QString& strName) = 0;
    // False when there is none named strFrom; raises when strTo is taken.
    virtual bool RenamePattern(const QString& strFrom, const QString& strTo) = 0;
};

// The patterns of the ledger at a connection. To read them
// (blnToWrite false) the ledger is only looked at: nothing is made or
// brought up to date, and one not there yet, or of an older version, raises.
// To write, the ledger is opened, made or brought up to date as an import
// opens it.
using LedgerPatternsFactory =
    std::function<std::unique_ptr<clsLedgerPatterns>(const QString& strConnection, bool blnToWrite)>;
