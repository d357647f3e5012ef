#include "SqliteLedgerStore.h"

#include "SqliteEngine.h"

SqliteLedgerStore::SqliteLedgerStore() : LedgerStore(&SqliteEngine::Open, &SqliteEngine::OpenToLook) { }

std::unique_ptr<clsLedgerHistory> OpenSqliteLedgerHistory(const QString& strConnection)
{
    try {
        return HistoryOver(SqliteEngine::OpenExisting(strConnection));
    } catch (const DatabaseFailure& failure) {
        throw LedgerError(failure.message());
    }
}
