#pragma once

#include "LedgerSchema.h"
#include "LedgerServer.h"
#include "LedgerStore.h"
#include "PostgresConnection.h"
#include "PostgresEngine.h"
#include "clsLedgerHistory.h"
#include "clsLedgerPatterns.h"

#include <cstdint>
#include <memory>

// The ledger store on a PostgreSQL server, for a ledger that several
// computers share. The data source the window passes is ignored: the
// server's settings name the server and the schema of the ledger's tables.
// An empty schema is given them, one of an earlier version is brought up
// to date, one that holds other tables and no ledger mark is refused
// untouched. A run is one transaction holding the ledger's turn (an
// advisory lock); any failure of the server loses the run as a whole, and
// when the reply to its commit is lost the store connects again and looks
// for the run.
class PostgresLedgerStore : public LedgerStore {
public:
    static constexpr int32_t kSchemaVersion = kLedgerSchemaVersion;
    static constexpr int kLockTimeoutMs = kServerLockTimeoutMs;
    static constexpr int kReconnectPauseMs = PostgresEngine::kReconnectPauseMs;
    static constexpr int kTradeBatch = PostgresEngine::kTradeBatch;

    explicit PostgresLedgerStore(LedgerServer server);

protected:
    // Tests stand in for a network that loses the reply to a run's commit
    // after the server has run it.
    virtual bool dropsCommitReply() { return false; }
};

// The history of the ledger on the server; raises LedgerError when there
// is no ledger there yet, never creating one.
std::unique_ptr<clsLedgerHistory> OpenPostgresLedgerHistory(const LedgerServer& server);

// The import patterns of the ledger on the server, looked at or opened to
// write (see LedgerPatternsFactory); raises RuntimeError when it cannot be.
std::unique_ptr<clsLedgerPatterns> OpenPostgresLedgerPatterns(const LedgerServer& server, bool blnToWrite);
