#include "PostgresLedgerStore.h"

#include "LedgerPatterns.h"
#include "PostgresLedgerDatabase.h"
#include "RuntimeError.h"

PostgresLedgerStore::PostgresLedgerStore(LedgerServer server)
    : LedgerStore(
        [this, server](const QString&, QString&) -> std::unique_ptr<LedgerEngine> {
            return std::make_unique<PostgresEngine>(server, [this] { return dropsCommitReply(); });
        },
        [server](const QString&, QString& reason, bool& absent) -> std::unique_ptr<LedgerEngine> {
            LedgerServer looking = server;
            looking.blnLookOnly = true;
            ReachedLedger reached;
            bool permanent = false;
            SchemaFinding finding = SchemaFinding::Refused;
            if (auto refused = ReachLedger(looking, false, reached, permanent, &finding)) {
                absent = finding == SchemaFinding::Empty;
                reason = *refused;
                return nullptr;
            }
            return std::make_unique<PostgresEngine>(looking, std::move(reached));
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

std::unique_ptr<clsLedgerPatterns> OpenPostgresLedgerPatterns(const LedgerServer& server, bool blnToWrite)
{
    LedgerServer reaching = server;
    reaching.blnLookOnly = !blnToWrite;
    ReachedLedger reached;
    bool permanent = false;
    if (auto refused = ReachLedger(reaching, blnToWrite, reached, permanent))
        throw RuntimeError(ERR_AUTOMATION, *refused);
    return PatternsOver(std::make_unique<PostgresEngine>(reaching, std::move(reached)));
}

LedgerServerCheck CheckLedgerServer(const LedgerServer& server)
{
    LedgerServerCheck check;
    ReachedLedger reached;
    bool permanent = false;
    SchemaFinding finding = SchemaFinding::Refused;
    const std::optional<QString> refused = ReachLedger(server, false, reached, permanent, &finding);
    if (refused && finding != SchemaFinding::Empty) {
        check.strText = *refused;
        return check;
    }
    PGconn* c = reached.connection.get();
    if (finding == SchemaFinding::Empty) {
        check.blnReady = MayWriteLedger(c, finding);
        check.strText = check.blnReady
                            ? QStringLiteral("サーバーに接続できました。台帳はまだなく、最初のインポートで作られます。")
                            : QStringLiteral("サーバーに接続できましたが、台帳はまだなく、このユーザーにはスキーマに"
                                             "台帳を作る権限がありません。");
        return check;
    }
    if (!MayWriteLedger(c, finding)) {
        check.strText = QStringLiteral("台帳はありますが、このユーザーには取り込む権限がありません"
                                       "（読み取り専用か、書き込む権限がありません）。");
        return check;
    }
    try {
        check.lngRuns =
            int64_t(HistoryOver(std::make_unique<PostgresEngine>(server, std::move(reached)))->Runs().size());
    } catch (const LedgerError& error) {
        check.strText = error.message();
        return check;
    }
    check.blnReady = true;
    check.strText = QStringLiteral("台帳を使用できます（取り込み %1 件）。").arg(check.lngRuns);
    return check;
}
