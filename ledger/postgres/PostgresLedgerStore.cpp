#include "PostgresLedgerStore.h"

#include "PostgresLedgerDatabase.h"

PostgresLedgerStore::PostgresLedgerStore(LedgerServer server)
    : LedgerStore([this, server = std::move(server)](const QString&, QString&) -> std::unique_ptr<LedgerEngine> {
          return std::make_unique<PostgresEngine>(server, [this] { return dropsCommitReply(); });
      })
{
}

std::unique_ptr<clsLedgerHistory> OpenPostgresLedgerHistory(const LedgerServer& server)
{
    ReachedLedger reached;
    bool permanent = false;
    if (auto refused = ReachLedger(server, false, reached, permanent))
        throw LedgerError(*refused);
    return HistoryOver(std::make_unique<PostgresEngine>(server, std::move(reached)));
}

LedgerServerCheck CheckLedgerServer(const LedgerServer& server)
{
    LedgerServerCheck check;
    try {
        const std::unique_ptr<clsLedgerHistory> history = OpenPostgresLedgerHistory(server);
        check.lngRuns = int64_t(history->Runs().size());
        check.blnReady = true;
        check.strText = QStringLiteral("台帳を使用できます（取り込み %1 件）。").arg(check.lngRuns);
    } catch (const LedgerError& error) {
        check.strText = error.message();
    }
    return check;
}
