#pragma once

#include "ExitStatus.h"

#include "clsLedgerHistory.h"

#include <QString>

#include <cstdint>
#include <ostream>

// The history commands of the command line. Each opens the history with
// openHistory, writes its result to out and its trouble to err, and gives
// the exit status: 0 done, 2 refused (an unknown run, a ledger that cannot
// be read).

// The runs as tab-separated values with a header line.
ExitStatus WriteHistory(const LedgerHistoryFactory& openHistory, const QString& strConnection, std::ostream& out,
                        std::ostream& err);
// Where the refused records go. A file (or a pipe) gets them exactly as
// the import file had them; a terminal must not be driven by what a
// record holds, so there each is one line with its control characters
// escaped.
enum class RejectsDestination { File, Terminal };

// The header line and the run's refused records, to import again once corrected.
ExitStatus WriteRejects(const LedgerHistoryFactory& openHistory, const QString& strConnection, const QString& strRun,
                        RejectsDestination destination, std::ostream& out, std::ostream& err);
ExitStatus UndoImportRun(const LedgerHistoryFactory& openHistory, const QString& strConnection, const QString& strRun,
                         std::ostream& out, std::ostream& err);
