#pragma once

#include "clsLedgerHistory.h"

#include <QString>

#include <cstdint>
#include <ostream>

// The history commands of the command line. Each opens the history with
// openHistory, writes its result to out and its trouble to err, and gives
// the exit status: 0 done, 2 refused (an unknown run, a ledger that cannot
// be read).

// The runs as tab-separated values with a header line.
int WriteHistory(const LedgerHistoryFactory& openHistory, const QString& strConnection, std::ostream& out,
                 std::ostream& err);
// The header line and the run's refused records, to import again once corrected.
int WriteRejects(const LedgerHistoryFactory& openHistory, const QString& strConnection, const QString& strRun,
                 std::ostream& out, std::ostream& err);
int UndoImportRun(const LedgerHistoryFactory& openHistory, const QString& strConnection, const QString& strRun,
                  std::ostream& out, std::ostream& err);
