#include "SqliteLedgerStore.h"

#include "LedgerPatterns.h"
#include "RuntimeError.h"
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

std::unique_ptr<clsLedgerPatterns> OpenSqliteLedgerPatterns(const QString& strConnection, bool blnCreate)
{
    try {
        if (!blnCreate)
            return PatternsOver(SqliteEngine::OpenExisting(strConnection));
        QString reason;
        std::unique_ptr<LedgerEngine> engine = SqliteEngine::Open(strConnection, reason);
        if (!engine)
            throw RuntimeError(ERR_AUTOMATION, reason);
        return PatternsOver(std::move(engine));
    } catch (const DatabaseFailure& failure) {
        throw RuntimeError(ERR_AUTOMATION, failure.message());
    }
}
