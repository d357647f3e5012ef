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

std::unique_ptr<clsLedgerPatterns> OpenSqliteLedgerPatterns(const QString& strConnection, bool blnToWrite)
{
    try {
        QString reason;
        bool absent = false;
        std::unique_ptr<LedgerEngine> engine = blnToWrite ? SqliteEngine::Open(strConnection, reason)
                                                          : SqliteEngine::OpenToLook(strConnection, reason, absent);
        if (!engine)
            throw RuntimeError(ERR_AUTOMATION, reason);
        return PatternsOver(std::move(engine));
    } catch (const DatabaseFailure& failure) {
        throw RuntimeError(ERR_AUTOMATION, failure.message());
    }
}
