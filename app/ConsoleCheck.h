#pragma once

#include "ConsoleImport.h"

#include "ExitStatus.h"

#include "Desktop.h"
#include "clsImportSource.h"
#include "clsLedgerStore.h"

#include <QString>
#include <QStringList>

#include <ostream>
#include <vector>

// What the look before an import found, as tab-separated values: a header
// line, then line, outcome (new, in-ledger, refused) and detail per data line.
QString LineChecksText(const std::vector<LineCheck>& checks);

// The look before an import without a window: the file rules of a drop,
// then the engine's look at the file against the ledger under the current
// folder, written to out. Gives the exit status: 0 when the file would
// import, 2 when it is refused (the user has then been told why).
// strSheet: a workbook's sheet by name or number; empty: the first.
ExitStatus RunConsoleCheck(Desktop& desktop, const QStringList& files, LedgerStoreFactory storeFactory,
                           std::ostream& out, const ConsoleReading& reading = {});
