#include "PostgresCommitSettlement.h"

#include "LedgerRuns.h"
#include "PostgresLedgerDatabase.h"

CommitOutcome SettleLostCommit(const LedgerServer& server, const ServerBackend& lost, const QString& token,
                               QString& reason)
{
    ReachedLedger reached;
    bool permanent = false;
    if (auto refused = ReachLedger(server, false, reached, permanent)) {
        reason = *refused;
        return CommitOutcome::InDoubt;
    }
    if (!EndBackend(reached.connection.get(), lost, reason))
        return CommitOutcome::InDoubt;
    try {
        PostgresLedgerDatabase ledger(reached.connection.get());
        if (RunIsRecorded(ledger, token))
            return CommitOutcome::Committed;
        reason = QStringLiteral("サーバーとの接続が切れました。");
        return CommitOutcome::NotCommitted;
    } catch (const DatabaseFailure& failure) {
        reason = failure.message();
        return CommitOutcome::InDoubt;
    }
}
