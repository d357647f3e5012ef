#pragma once

#include "ExitStatus.h"
#include "clsLedgerPatterns.h"

#include <QString>

#include <ostream>

// The import patterns kept in a ledger, from the command line. A reason
// goes to err; a pattern refused, missing or a ledger that cannot answer
// exits with Failed.

// One line per pattern, tab-separated: name, mode, the header texts it names (comma-joined).
ExitStatus WritePatterns(const LedgerPatternsFactory& openPatterns, const QString& strConnection, std::ostream& out,
                         std::ostream& err);
ExitStatus SavePatternFile(const LedgerPatternsFactory& openPatterns, const QString& strConnection,
                           const QString& strPatternFile, std::ostream& out, std::ostream& err);
ExitStatus ExportPattern(const LedgerPatternsFactory& openPatterns, const QString& strConnection,
                         const QString& strName, std::ostream& out, std::ostream& err);
ExitStatus DeletePattern(const LedgerPatternsFactory& openPatterns, const QString& strConnection,
                         const QString& strName, std::ostream& out, std::ostream& err);

// The kept pattern of that name, for --pattern; nothing (with the reason on
// err) when there is none or the ledger cannot answer.
std::optional<ImportPattern> FindPattern(const LedgerPatternsFactory& openPatterns, const QString& strConnection,
                                         const QString& strName, std::ostream& err);
