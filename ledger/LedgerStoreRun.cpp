#include "LedgerStore.h"

#include <unordered_set>

// The store's side of a run: its turn and record, the names sent ahead,
// the look at a file's lines, the lines skipped and refused, the commit.

namespace {

const char* TableName(MasterTable table)
{
    switch (table) {
    case MasterTable::Kinds: return "kinds";
    case MasterTable::Products: return "products";
    case MasterTable::Suppliers: return "suppliers";
    case MasterTable::Customers: return "customers";
    }
    return "";
}

// The removal of a master the run added, by its ID and the run; a kind
// only while no product has it.
const char* RemoveMasterSql(MasterTable table)
{
    switch (table) {
    case MasterTable::Kinds:
        return "DELETE FROM kinds WHERE kind_code = ?1 AND run_id = ?2"
               " AND NOT EXISTS (SELECT 1 FROM products WHERE kind_code = ?1)";
    case MasterTable::Products: return "DELETE FROM products WHERE product_id = ?1 AND run_id = ?2";
    case MasterTable::Suppliers: return "DELETE FROM suppliers WHERE supplier_id = ?1 AND run_id = ?2";
    case MasterTable::Customers: return "DELETE FROM customers WHERE customer_id = ?1 AND run_id = ?2";
    }
    return "";
}

}  // namespace

std::optional<PriorRun> LedgerStore::FindImportedRun(const QByteArray& strSha256, QString& strError, bool& blnFailed)
{
    std::optional<PriorRun> prior;
    withEngine(strError, blnFailed, [&](LedgerEngine& current) {
        try {
            prior = FindRunOfFile(current.database(), strSha256);
            Succeed(strError, blnFailed);
        } catch (const DatabaseFailure& failure) {
            fail(strError, blnFailed, failure.message());
        }
    });
    return prior;
}

std::optional<PriorRun> LedgerStore::BeginRun(const ImportRunInfo& run, const std::function<void()>& whileWaiting,
                                              QString& strError, bool& blnFailed)
{
    std::optional<PriorRun> repeat;
    if (refuseWrite(strError, blnFailed))
        return repeat;
    withEngine(strError, blnFailed, [&](LedgerEngine& current) {
        if (m_run)
            return fail(strError, blnFailed, QStringLiteral("インポートが既に始まっています。"));
        LedgerDatabase& db = current.database();
        try {
            current.runStarting();
            if (auto busy = WaitForTurn(db, whileWaiting)) {
                current.runEnded();
                return fail(strError, blnFailed, *busy);
            }
            // Two clerks may have started the same file at once: the one
            // that waited looks again, now that no one else can write.
            if (run.lngRepeatOf && !run.strSha256.isEmpty()) {
                repeat = FindRunOfFile(db, run.strSha256);
                if (repeat && repeat->lngRunId <= *run.lngRepeatOf)
                    repeat.reset();
                if (repeat) {
                    db.rollback();
                    current.runEnded();
                    return Succeed(strError, blnFailed);
                }
            }
            // Others may have changed the master rows since they were cached.
            m_names.forget();
            m_run = RecordRunStart(db, run);
            m_skipped = 0;
            m_look.start(m_run->lngRunId);
            Succeed(strError, blnFailed);
        } catch (const DatabaseFailure& failure) {
            repeat.reset();
            db.rollback();
            current.runEnded();
            m_run.reset();
            fail(strError, blnFailed, failure.message());
        }
    });
    return repeat;
}

void LedgerStore::PrepareNames(const ComingNames& names, bool blnPurchase)
{
    if (!m_run)
        return;
    QString reason;
    LedgerEngine* current = engine(reason);
    if (current && current->batchesNames()) {
        // Each name not known yet, once, with the rest of its first line's row.
        std::vector<MasterRow> rows;
        std::unordered_set<QString, NameHash> seen;
        const auto prepare = [&](MasterTable table) {
            m_names.prepare(*current, table, rows, runId());
            rows.clear();
            seen.clear();
        };
        const auto unknown = [&](MasterTable table, const QString& name) {
            return !name.isEmpty() && !m_names.cached(table, name) && seen.insert(name).second;
        };
        try {
            for (const ProductRecord* product : names.products) {
                if (unknown(MasterTable::Products, product->strProductName))
                    rows.push_back(
                        MasterRow{product->strProductName,
                                  {product->strMaker, product->strReading, product->strModel, product->strSpec}});
            }
            prepare(MasterTable::Products);
            const MasterTable parties = blnPurchase ? MasterTable::Suppliers : MasterTable::Customers;
            for (const PartyRecord* party : names.parties) {
                if (unknown(parties, party->strPartyName))
                    rows.push_back(MasterRow{party->strPartyName, {party->strReading}});
            }
            prepare(parties);
            // A kind goes ahead only for a product that will take it: one
            // stored without a kind, or new, that no earlier line gives one.
            // The others are left to their lines.
            if (names.kinds.size() == names.products.size()) {
                QSet<int32_t> taking;
                for (std::size_t i = 0; i < names.kinds.size(); ++i) {
                    const int32_t product = m_names.cached(MasterTable::Products, names.products[i]->strProductName);
                    if (names.kinds[i]->isEmpty() || product == 0 || m_names.productsWithKind().contains(product)
                        || taking.contains(product))
                        continue;
                    taking.insert(product);
                    if (unknown(MasterTable::Kinds, *names.kinds[i]))
                        rows.push_back(MasterRow{*names.kinds[i], {}});
                }
                prepare(MasterTable::Kinds);
            }
        } catch (const DatabaseFailure& failure) {
            // The lines resolve their names one by one then, and say why.
            reason = failure.message();
            m_reasons.Report(reason);
        } catch (const std::bad_alloc&) {
            reason = FailureText(FailureKind::OutOfMemory, QString());
        }
    }
    throwIfRunLost(reason);
}

std::optional<bool> LedgerStore::HoldsTrades()
{
    QString reason;
    LedgerEngine* current = engine(reason);
    if (!current)
        return std::nullopt;
    try {
        // A count, not a truth value: the server answers those in words of its own.
        const std::vector<SqlRow> rows =
            current->database().query("SELECT count(*) FROM (SELECT 1 FROM trades LIMIT 1) AS one");
        return !rows.empty() && IntegerOf(rows.front().at(0)) != 0;
    } catch (const DatabaseFailure&) {
        return std::nullopt;
    }
}

void LedgerStore::StartLook() { m_look.start(runId()); }

std::vector<LineLook> LedgerStore::LookAtLines(const std::vector<LineToLook>& lines, bool blnPurchase,
                                               QString& strError, bool& blnFailed)
{
    std::vector<LineLook> looks(lines.size());
    withEngine(strError, blnFailed, [&](LedgerEngine& current) {
        try {
            m_look.look(current, m_names, lines, blnPurchase, looks);
            tellRunsStarted(current, looks);
            Succeed(strError, blnFailed);
        } catch (const DatabaseFailure& failure) {
            fail(strError, blnFailed, failure.message());
        }
    });
    throwIfRunLost(strError);
    return looks;
}

void LedgerStore::tellRunsStarted(LedgerEngine& current, std::vector<LineLook>& looks)
{
    for (LineLook& look : looks) {
        if (!look.inLedger || look.inLedger->lngRunId == 0)
            continue;
        const int64_t run = look.inLedger->lngRunId;
        auto known = m_runsStarted.find(run);
        if (known == m_runsStarted.end()) {
            const std::vector<SqlRow> rows =
                current.database().query("SELECT started FROM runs WHERE run_id = ?1", {run});
            known = m_runsStarted.emplace(run, rows.empty() ? QDateTime() : LocalTimeOf(rows.front()[0])).first;
        }
        look.inLedger->dtmRunStarted = known->second;
    }
}

void LedgerStore::SkipLine(int64_t lngLineNumber, const LedgerMatch& match, QString& strError, bool& blnFailed)
{
    Succeed(strError, blnFailed);
    if (!m_run || !m_engine)
        return;
    try {
        RecordSkippedLine(m_engine->database(), *m_run, lngLineNumber, match);
        ++m_skipped;
    } catch (const DatabaseFailure& failure) {
        // A run whose skipped lines are not all recorded is no whole run.
        throwIfRunLost(failure.message(), true);
    }
}

std::vector<NameMatch> LedgerStore::keptMatches() const
{
    std::vector<NameMatch> kept;
    for (const NameMatch& match : m_names.matches()) {
        if (!m_names.unused(match.table).contains(match.id))
            kept.push_back(match);
    }
    return kept;
}

bool LedgerStore::removeUnusedMasters(LedgerDatabase& db)
{
    bool removed = false;
    // Products before the kinds they might hold.
    for (const MasterTable table :
         {MasterTable::Products, MasterTable::Suppliers, MasterTable::Customers, MasterTable::Kinds}) {
        for (const int32_t id : m_names.unused(table)) {
            db.execute(RemoveMasterSql(table), {int64_t(id), runId()});
            removed = true;
        }
    }
    return removed;
}

QStringList LedgerStore::MatchedNames() const
{
    QStringList texts;
    for (const NameMatch& match : keptMatches())
        texts << LedgerNames::MatchText(match);
    return texts;
}

void LedgerStore::BeginLine(int64_t lngLineNumber)
{
    m_lineProductId = 0;
    m_lineRefusal.clear();
    if (m_run)
        m_run->lngLine = lngLineNumber;
}

void LedgerStore::RejectLine(const RejectedLine& line, QString& strError, bool& blnFailed)
{
    Succeed(strError, blnFailed);
    if (!m_run || !m_engine)
        return;
    try {
        RecordRejectedLine(m_engine->database(), *m_run, line);
    } catch (const DatabaseFailure& failure) {
        // A run whose refusals are not all recorded is no whole run.
        throwIfRunLost(failure.message(), true);
    }
}

void LedgerStore::CommitRun(int32_t lngRead, int32_t lngImported, QString& strError, bool& blnFailed)
{
    Guarded(strError, blnFailed, [&] {
        if (!m_engine || !m_run)
            return fail(strError, blnFailed, QStringLiteral("インポートが始まっていません。"));
        const OpenRun run = *m_run;
        QString reason;
        CommitOutcome outcome = CommitOutcome::NotCommitted;
        bool removed = false;
        try {
            m_engine->flush();
            std::vector<MatchedName> matched;
            for (const NameMatch& match : keptMatches())
                matched.push_back(MatchedName{TableName(match.table), match.strGiven, match.id});
            removed = removeUnusedMasters(m_engine->database());
            RecordMatchedNames(m_engine->database(), run, matched);
            RecordRunEnd(m_engine->database(), run, lngRead, lngImported, m_skipped);
            outcome = m_engine->commitRun(run.strToken, reason);
        } catch (const DatabaseFailure& failure) {
            reason = failure.message();
        }
        if (outcome == CommitOutcome::Committed) {
            m_run.reset();
            m_engine->runEnded();
            // The IDs of the masters removed are known no more.
            if (removed)
                m_names.forget();
            return Succeed(strError, blnFailed);
        }
        forgetRun();
        if (outcome == CommitOutcome::InDoubt)
            return fail(strError, blnFailed,
                        QStringLiteral("台帳との接続が切れたため、インポートが台帳に書き込まれたかどうか分かりません"
                                       "（台帳の履歴で確かめて下さい）: %1")
                            .arg(reason));
        fail(strError, blnFailed, QStringLiteral("インポートを台帳に書き込めませんでした: %1").arg(reason));
    });
    if (blnFailed)
        forgetRun();
}

void LedgerStore::AbandonRun() { forgetRun(); }
