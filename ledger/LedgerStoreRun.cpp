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

}  // namespace

std::optional<PriorRun> LedgerStore::FindImportedRun(const QByteArray& strSha256, QString& strError,
                                                     bool& blnFailed)
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
            for (const QString* kind : names.kinds) {
                if (unknown(MasterTable::Kinds, *kind))
                    rows.push_back(MasterRow{*kind, {}});
            }
            prepare(MasterTable::Kinds);
            for (const ProductRecord* product : names.products) {
                if (unknown(MasterTable::Products, product->strProductName))
                    rows.push_back(MasterRow{product->strProductName, {product->strMaker, product->strReading,
                                                                       product->strModel, product->strSpec}});
            }
            prepare(MasterTable::Products);
            const MasterTable parties = blnPurchase ? MasterTable::Suppliers : MasterTable::Customers;
            for (const PartyRecord* party : names.parties) {
                if (unknown(parties, party->strPartyName))
                    rows.push_back(MasterRow{party->strPartyName, {party->strReading}});
            }
            prepare(parties);
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

void LedgerStore::StartLook() { m_look.start(runId()); }

std::vector<LineLook> LedgerStore::LookAtLines(const std::vector<LineToLook>& lines, bool blnPurchase,
                                               QString& strError, bool& blnFailed)
{
    std::vector<LineLook> looks(lines.size());
    withEngine(strError, blnFailed, [&](LedgerEngine& current) {
        try {
            m_look.look(current, m_names, lines, blnPurchase, looks);
            Succeed(strError, blnFailed);
        } catch (const DatabaseFailure& failure) {
            fail(strError, blnFailed, failure.message());
        }
    });
    throwIfRunLost(strError);
    return looks;
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

QStringList LedgerStore::MatchedNames() const
{
    QStringList texts;
    for (const NameMatch& match : m_names.matches())
        texts << LedgerNames::MatchText(match);
    return texts;
}

void LedgerStore::BeginLine(int64_t lngLineNumber)
{
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
        try {
            m_engine->flush();
            std::vector<MatchedName> matched;
            for (const NameMatch& match : m_names.matches())
                matched.push_back(MatchedName{TableName(match.table), match.strGiven, match.id});
            RecordMatchedNames(m_engine->database(), run, matched);
            RecordRunEnd(m_engine->database(), run, lngRead, lngImported, m_skipped);
            outcome = m_engine->commitRun(run.strToken, reason);
        } catch (const DatabaseFailure& failure) {
            reason = failure.message();
        }
        if (outcome == CommitOutcome::Committed) {
            m_run.reset();
            m_engine->runEnded();
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
