#pragma once

#include "LedgerFailure.h"
#include "LedgerSchema.h"
#include "LedgerStore.h"
#include "SqliteLedgerFile.h"
#include "clsLedgerHistory.h"
#include "clsLedgerPatterns.h"

#include <cstdint>
#include <memory>

// The ledger store on an SQLite database file named by the connection
// string's Data Source. Opens only files that carry the ledger's
// application ID (creating a new one when the file is absent and its folder
// exists, and bringing one of an earlier version up to date).
class SqliteLedgerStore : public LedgerStore {
public:
    static constexpr int32_t kApplicationId = kSqliteApplicationId;
    static constexpr int32_t kSchemaVersion = kLedgerSchemaVersion;
    // How long a locked database is waited for before an operation outside
    // a run fails.
    static constexpr int kBusyTimeoutMs = kBusyWaitMs;

    SqliteLedgerStore();
};

// The history of the SQLite ledger that a connection string names; raises
// LedgerError when there is no ledger there yet, never creating one.
std::unique_ptr<clsLedgerHistory> OpenSqliteLedgerHistory(const QString& strConnection);

// The import patterns of that ledger, looked at or opened to write (see
// LedgerPatternsFactory); raises RuntimeError when it cannot be.
std::unique_ptr<clsLedgerPatterns> OpenSqliteLedgerPatterns(const QString& strConnection, bool blnToWrite);
