#include "LedgerHistory.h"

#include "LedgerRuns.h"

#include <QByteArray>

#include <utility>

namespace {

// A run's trades leave the ledger only with its undo, all together: the
// trades it holds are its imported lines until then, and none after.
constexpr const char* kRunColumns =
    "SELECT r.run_id, r.started, r.ended, r.undone, r.purchase, r.lines_read, r.lines_imported, r.file_path,"
    " r.file_size, r.sha256, r.user_name, r.host, r.program_version,"
    " CASE WHEN r.undone IS NULL THEN r.lines_imported ELSE 0 END, r.lines_skipped,"
    " (SELECT count(*) FROM rejected_lines x WHERE x.run_id = r.run_id), r.pattern_name FROM runs r";

RunSummary SummaryOf(const SqlRow& row)
{
    RunSummary run;
    run.lngRunId = IntegerOf(row[0]);
    run.dtmStarted = LocalTimeOf(row[1]);
    run.dtmEnded = LocalTimeOf(row[2]);
    run.blnUndone = !IsNull(row[3]);
    run.blnPurchase = IntegerOf(row[4]) != 0;
    run.lngRead = int32_t(IntegerOf(row[5]));
    run.lngImported = int32_t(IntegerOf(row[6]));
    run.strFilePath = TextOf(row[7]);
    run.lngFileSize = IntegerOf(row[8]);
    run.strSha256 = TextOf(row[9]).toLatin1();
    run.strUser = TextOf(row[10]);
    run.strHost = TextOf(row[11]);
    run.strProgramVersion = TextOf(row[12]);
    run.lngTradesInLedger = IntegerOf(row[13]);
    run.lngSkipped = int32_t(IntegerOf(row[14]));
    run.lngRefused = int32_t(IntegerOf(row[15]));
    run.strPatternName = TextOf(row[16]);
    return run;
}

struct MasterOfRun {
    const char* master;
    const char* added;     // the names the run added, oldest first
    const char* storedAs;  // the stored name of a master ID
};
constexpr MasterOfRun kMastersOfRun[] = {
    {"products", "SELECT name FROM products WHERE run_id = ?1 ORDER BY product_id",
     "SELECT name FROM products WHERE product_id = m.master_id"},
    {"suppliers", "SELECT name FROM suppliers WHERE run_id = ?1 ORDER BY supplier_id",
     "SELECT name FROM suppliers WHERE supplier_id = m.master_id"},
    {"customers", "SELECT name FROM customers WHERE run_id = ?1 ORDER BY customer_id",
     "SELECT name FROM customers WHERE customer_id = m.master_id"},
    {"kinds", "SELECT name FROM kinds WHERE run_id = ?1 ORDER BY kind_code",
     "SELECT name FROM kinds WHERE kind_code = m.master_id"},
};

// Runs body, turning a database's failure into the history's.
template <typename Body>
auto Answer(Body&& body)
{
    try {
        return body();
    } catch (const DatabaseFailure& failure) {
        throw LedgerError(failure.message());
    }
}

}  // namespace

std::vector<RunSummary> LedgerHistory::Runs()
{
    return Answer([&] {
        const QByteArray sql = QByteArray(kRunColumns) + " ORDER BY r.run_id DESC";
        std::vector<RunSummary> runs;
        for (const SqlRow& row : database().query(sql.constData()))
            runs.push_back(SummaryOf(row));
        return runs;
    });
}

std::optional<RunSummary> LedgerHistory::Run(int64_t lngRunId)
{
    return Answer([&]() -> std::optional<RunSummary> {
        const QByteArray sql = QByteArray(kRunColumns) + " WHERE r.run_id = ?1";
        const std::vector<SqlRow> rows = database().query(sql.constData(), {lngRunId});
        if (rows.empty())
            return std::nullopt;
        return SummaryOf(rows.front());
    });
}

std::optional<RunRejects> LedgerHistory::Rejects(int64_t lngRunId)
{
    return Answer([&]() -> std::optional<RunRejects> {
        LedgerDatabase& db = database();
        const std::vector<SqlRow> header = db.query("SELECT header_line FROM runs WHERE run_id = ?1", {lngRunId});
        if (header.empty())
            return std::nullopt;
        RunRejects rejects;
        rejects.strHeaderLine = TextOf(header.front()[0]);
        int64_t current = 0;
        for (const SqlRow& row :
             db.query("SELECT l.reject_id, l.line_number, l.record, x.code, x.reason, x.column_name, x.value"
                      " FROM rejected_lines l LEFT JOIN line_reasons x ON x.reject_id = l.reject_id"
                      " WHERE l.run_id = ?1 ORDER BY l.line_number, l.reject_id, x.position",
                      {lngRunId})) {
            if (rejects.lines.empty() || IntegerOf(row[0]) != current) {
                current = IntegerOf(row[0]);
                rejects.lines.push_back(RejectedLine{IntegerOf(row[1]), TextOf(row[2]), {}});
            }
            if (!IsNull(row[3]))
                rejects.lines.back().reasons.push_back(
                    LineReason{TextOf(row[3]), TextOf(row[4]), TextOf(row[5]), TextOf(row[6])});
        }
        return rejects;
    });
}

std::optional<RunDetail> LedgerHistory::Detail(int64_t lngRunId)
{
    std::optional<RunSummary> run = Run(lngRunId);
    std::optional<RunRejects> rejects = Rejects(lngRunId);
    if (!run || !rejects)
        return std::nullopt;
    return Answer([&]() -> std::optional<RunDetail> {
        LedgerDatabase& db = database();
        RunDetail detail{*run, *rejects, {}, {}, {}};
        for (const SqlRow& row :
             db.query("SELECT s.line_number, coalesce(s.matched_run_id, 0), coalesce(s.matched_line_number, 0),"
                      " r.started FROM skipped_lines s LEFT JOIN runs r ON r.run_id = s.matched_run_id"
                      " WHERE s.run_id = ?1 ORDER BY s.line_number",
                      {lngRunId})) {
            LedgerMatch match{IntegerOf(row[1]), IntegerOf(row[2]), IsNull(row[3]) ? QDateTime() : LocalTimeOf(row[3])};
            detail.skipped.push_back(LineLeftOut{IntegerOf(row[0]), match});
        }
        for (const MasterOfRun& master : kMastersOfRun) {
            for (const SqlRow& row : db.query(master.added, {lngRunId}))
                detail.addedNames.push_back(RunName{QString::fromLatin1(master.master), TextOf(row[0]), QString()});
        }
        for (const MasterOfRun& master : kMastersOfRun) {
            const QByteArray sql = QByteArray("SELECT m.name, (") + master.storedAs
                                   + ") FROM matched_names m WHERE m.run_id = ?1 AND m.master = ?2 ORDER BY m.name";
            for (const SqlRow& row : db.query(sql.constData(), {lngRunId, QString::fromLatin1(master.master)}))
                detail.matchedNames.push_back(
                    RunName{QString::fromLatin1(master.master), TextOf(row[0]), TextOf(row[1])});
        }
        return detail;
    });
}

clsLedgerHistory::UndoResult LedgerHistory::UndoRun(int64_t lngRunId, const std::function<void()>& whileWaiting)
{
    return Undo(lngRunId, whileWaiting, true);
}

clsLedgerHistory::UndoResult LedgerHistory::PreviewUndo(int64_t lngRunId, const std::function<void()>& whileWaiting)
{
    return Undo(lngRunId, whileWaiting, false);
}

clsLedgerHistory::UndoResult LedgerHistory::Undo(int64_t lngRunId, const std::function<void()>& whileWaiting,
                                                 bool blnCommit)
{
    return Answer([&] {
        LedgerDatabase& db = database();
        if (auto busy = WaitForTurn(db, whileWaiting))
            throw LedgerError(*busy);
        UndoResult result;
        try {
            const std::vector<SqlRow> run = db.query("SELECT undone FROM runs WHERE run_id = ?1", {lngRunId});
            if (run.empty() || !IsNull(run.front()[0])) {
                db.rollback();
                result.outcome = run.empty() ? UndoOutcome::UnknownRun : UndoOutcome::AlreadyUndone;
                return result;
            }
            // Decided in the turn, so that no run can come to rely on the
            // trades between the look and the delete.
            for (const SqlRow& row :
                 db.query("SELECT s.run_id, count(*) FROM skipped_lines s JOIN runs r ON r.run_id = s.run_id"
                          " WHERE s.matched_run_id = ?1 AND r.undone IS NULL GROUP BY s.run_id ORDER BY s.run_id",
                          {lngRunId}))
                result.relyingRuns.push_back(RelyingRun{IntegerOf(row[0]), IntegerOf(row[1])});
            if (!result.relyingRuns.empty()) {
                db.rollback();
                result.outcome = UndoOutcome::ReliedOn;
                return result;
            }
            // Rows about to go keep their IDs from being given again.
            db.keepGivenIds(lngRunId);
            // A run's trades lie between the first ID it could have given and
            // the last it gave; those of a run older than the bounds are looked for everywhere.
            result.lngTradesRemoved =
                db.execute("DELETE FROM trades WHERE run_id = ?1 AND trade_id BETWEEN"
                           " (SELECT coalesce(first_trade_id, 0) FROM runs WHERE run_id = ?1) AND"
                           " (SELECT coalesce(last_trade_id, 9223372036854775807) FROM runs WHERE run_id = ?1)",
                           {lngRunId});
            // Kinds the run gave to products older than itself.
            db.execute("UPDATE products SET kind_code = NULL, kind_run_id = NULL"
                       " WHERE kind_run_id = ?1 AND coalesce(run_id, 0) <> ?1",
                       {lngRunId});
            // Master rows of this run, or left by runs undone before while a
            // later run still used them, go once nothing uses them: only a
            // trade given since their run began can.
            constexpr const char* kAddedByUndone =
                " AS m WHERE m.run_id IN (SELECT CAST(?1 AS bigint) UNION SELECT run_id FROM runs WHERE undone IS NOT "
                "NULL)"
                " AND NOT EXISTS (SELECT 1 FROM trades t WHERE t.trade_id >="
                " (SELECT coalesce(r.first_trade_id, 0) FROM runs r WHERE r.run_id = m.run_id) AND t.";
            const std::pair<QByteArray, int64_t*> deletes[] = {
                {QByteArray("DELETE FROM products") + kAddedByUndone + "product_id = m.product_id)",
                 &result.lngProductsRemoved},
                {QByteArray("DELETE FROM suppliers") + kAddedByUndone + "supplier_id = m.supplier_id)",
                 &result.lngSuppliersRemoved},
                {QByteArray("DELETE FROM customers") + kAddedByUndone + "customer_id = m.customer_id)",
                 &result.lngCustomersRemoved},
                {QByteArray(
                     "DELETE FROM kinds AS m WHERE m.run_id IN (SELECT CAST(?1 AS bigint) UNION SELECT run_id FROM runs"
                     " WHERE undone IS NOT NULL) AND NOT EXISTS (SELECT 1 FROM products p WHERE p.kind_code = "
                     "m.kind_code)"),
                 &result.lngKindsRemoved},
            };
            for (const auto& [sql, removed] : deletes)
                *removed = db.execute(sql.constData(), {lngRunId});
            // A preview has counted what would go; the ledger stays as it was.
            if (!blnCommit) {
                db.rollback();
                result.outcome = UndoOutcome::Undone;
                return result;
            }
            db.execute("UPDATE runs SET undone = ?2 WHERE run_id = ?1", {lngRunId, LedgerNow()});
            db.commit();
        } catch (...) {
            db.rollback();
            throw;
        }
        result.outcome = UndoOutcome::Undone;
        return result;
    });
}
