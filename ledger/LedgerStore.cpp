#include "LedgerStore.h"

#include "LedgerDate.h"
#include "LedgerSchema.h"
#include "LedgerHistory.h"

#include <stdexcept>
#include <unordered_set>

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

class EngineHistory : public LedgerHistory {
public:
    explicit EngineHistory(std::unique_ptr<LedgerEngine> engine) : m_engine(std::move(engine)) {}

protected:
    LedgerDatabase& database() override { return m_engine->database(); }

private:
    std::unique_ptr<LedgerEngine> m_engine;
};

}  // namespace

std::unique_ptr<clsLedgerHistory> HistoryOver(std::unique_ptr<LedgerEngine> engine)
{
    return std::make_unique<EngineHistory>(std::move(engine));
}

LedgerStore::LedgerStore(EngineOpener openEngine)
    : m_openEngine(std::move(openEngine)), m_notConnected(NotConnectedText(QString()))
{
}

LedgerStore::~LedgerStore() { forgetRun(); }

LedgerEngine* LedgerStore::engine(QString& reason)
{
    if (!m_engine) {
        reason = m_notConnected;
        return nullptr;
    }
    if (!m_engine->ready(m_run.has_value(), reason))
        return nullptr;
    if (m_engine->connection() != m_connection) {
        // A new connection: what was learnt may be stale, and its reasons are news.
        m_connection = m_engine->connection();
        m_names.forget();
        m_reasons.Forget();
    }
    return m_engine.get();
}

void LedgerStore::fail(QString& strError, bool& blnFailed, const QString& reason)
{
    Fail(strError, blnFailed, reason);
    m_reasons.Report(reason);
}

void LedgerStore::OpenConnection(const QString& strConnection, QString& strError, bool& blnFailed)
{
    forgetRun();
    m_engine.reset();
    m_names.forget();
    m_reasons.Forget();
    m_notConnected = NotConnectedText(QString());
    Guarded(strError, blnFailed, [&] {
        QString reason;
        m_engine = m_openEngine(strConnection, reason);
        if (!m_engine) {
            m_notConnected = NotConnectedText(reason);
            return Fail(strError, blnFailed, reason);
        }
        m_connection = m_engine->connection();
        if (!m_engine->ready(false, reason))
            return Fail(strError, blnFailed, reason);
        m_connection = m_engine->connection();
        Succeed(strError, blnFailed);
    });
    if (blnFailed) {
        m_reasons.Report(strError);
        // Every later operation fails for the reason just written.
        m_reasons.Suppress(NotConnectedText(strError));
    }
}

int32_t LedgerStore::resolveName(MasterTable table, const QString& name, const QString& emptyName,
                                 const std::function<QStringList()>& fields, QString& strError, bool& blnFailed)
{
    int32_t id = 0;
    Guarded(strError, blnFailed, [&] {
        QString reason;
        LedgerEngine* current = engine(reason);
        if (!current)
            return fail(strError, blnFailed, reason);
        if (name.isEmpty())
            return fail(strError, blnFailed, emptyName);
        id = m_names.cached(table, name);
        if (id == 0)
            id = m_names.resolve(*current, table, MasterRow{name, fields()}, runId(), reason);
        if (id == 0)
            return fail(strError, blnFailed, reason);
        Succeed(strError, blnFailed);
    });
    throwIfRunLost(strError);
    return blnFailed ? 0 : id;
}

void LedgerStore::ResolveProduct(const QString& strProductName, ProductRecord& product, QString& strError,
                                 bool& blnFailed)
{
    product.lngProductID = 0;
    // The kind code is left to InsertTrade, which sees the line's own; here
    // the record still holds the previous line's.
    product.lngProductID = resolveName(
        MasterTable::Products, strProductName, QStringLiteral("製品名が空です。"),
        [&] { return QStringList{product.strMaker, product.strReading, product.strModel, product.strSpec}; }, strError,
        blnFailed);
}

void LedgerStore::ResolveSupplier(const QString& strPartyName, PartyRecord& supplier, QString& strError,
                                  bool& blnFailed)
{
    supplier.lngPartyID = 0;
    supplier.lngPartyID = resolveName(MasterTable::Suppliers, strPartyName, QStringLiteral("仕入先名が空です。"),
                                      [&] { return QStringList{supplier.strReading}; }, strError, blnFailed);
}

void LedgerStore::ResolveCustomer(const QString& strPartyName, PartyRecord& customer, QString& strError,
                                  bool& blnFailed)
{
    customer.lngPartyID = 0;
    customer.lngPartyID = resolveName(MasterTable::Customers, strPartyName, QStringLiteral("販売先名が空です。"),
                                      [&] { return QStringList{customer.strReading}; }, strError, blnFailed);
}

int32_t LedgerStore::GetKindCode(const QString& strKind)
{
    if (strKind.isEmpty())
        return 0;
    int32_t code = 0;
    QString error;
    bool failed = false;
    Guarded(error, failed, [&] {
        QString reason;
        LedgerEngine* current = engine(reason);
        if (current)
            code = m_names.cached(MasterTable::Kinds, strKind);
        if (current && code == 0)
            code = m_names.resolve(*current, MasterTable::Kinds, MasterRow{strKind, {}}, runId(), reason);
        if (code == 0)
            fail(error, failed, reason);
    });
    throwIfRunLost(error);
    return failed ? 0 : code;
}

QString LedgerStore::referenceGone(LedgerEngine& current, MasterTable parties, int32_t productId, int32_t partyId)
{
    m_names.forget();
    try {
        if (!m_names.known(current, MasterTable::Products, productId))
            return QStringLiteral("製品 ID %1 は登録されていません。").arg(productId);
        if (partyId != 0 && !m_names.known(current, parties, partyId))
            return QStringLiteral("%1 ID %2 は登録されていません。").arg(LedgerNames::What(parties)).arg(partyId);
    } catch (const DatabaseFailure& failure) {
        return failure.message();
    }
    return QStringLiteral("取引の製品か取引先が登録されていません。");
}

void LedgerStore::InsertTrade(ProductRecord& product, PartyRecord& supplier, PartyRecord& customer,
                              TradeRecord& trade, bool blnPurchase, QString& strError, bool& blnFailed)
{
    bool runLost = false;
    Guarded(strError, blnFailed, [&] {
        QString reason;
        LedgerEngine* current = engine(reason);
        if (!current)
            return fail(strError, blnFailed, reason);

        char date[kLedgerDateBufferSize];
        const std::size_t dateLength = FormatLedgerDate(trade.dtmTradeDate, date);
        if (dateLength == 0)
            return fail(strError, blnFailed, QStringLiteral("取引の日付が正しくありません（100 年から 9999 年まで）。"));
        const int32_t productId = trade.lngProductID;
        if (productId == 0)
            return fail(strError, blnFailed, QStringLiteral("取引の製品が決まっていません。"));

        const PartyRecord& party = blnPurchase ? supplier : customer;
        const MasterTable parties = blnPurchase ? MasterTable::Suppliers : MasterTable::Customers;
        const int32_t partyId = blnPurchase ? trade.lngSupplierID : trade.lngCustomerID;
        // A named party that did not resolve must not be booked as no party.
        if (partyId == 0 && !party.strPartyName.isEmpty())
            return fail(strError, blnFailed,
                        QStringLiteral("%1「%2」が登録されていません。").arg(LedgerNames::What(parties), party.strPartyName));
        // Checked here, so that the database has no reason to refuse the trade.
        try {
            if (!m_names.known(*current, MasterTable::Products, productId))
                return fail(strError, blnFailed, QStringLiteral("製品 ID %1 は登録されていません。").arg(productId));
            if (partyId != 0 && !m_names.known(*current, parties, partyId))
                return fail(strError, blnFailed,
                            QStringLiteral("%1 ID %2 は登録されていません。").arg(LedgerNames::What(parties)).arg(partyId));
        } catch (const DatabaseFailure& failure) {
            return fail(strError, blnFailed, failure.message());
        }
        const int32_t kindCode = product.lngKindCode;
        QSet<int32_t>& withKind = m_names.productsWithKind();
        bool giveKind = false;
        try {
            // A code that names no kind is not recorded; the trade stands without it.
            giveKind = kindCode != 0 && !withKind.contains(productId) &&
                       m_names.known(*current, MasterTable::Kinds, kindCode);
        } catch (const DatabaseFailure& failure) {
            return fail(strError, blnFailed, failure.message());
        }

        TradeRow row;
        row.intKind = blnPurchase ? 0 : 1;
        row.date = date;
        row.dateLength = dateLength;
        row.lngProductId = productId;
        row.lngSupplierId = blnPurchase ? partyId : 0;
        row.lngCustomerId = blnPurchase ? 0 : partyId;
        row.lngQuantity = blnPurchase ? trade.lngPurchaseQuantity : trade.lngSalesQuantity;
        row.lngUnitPrice = blnPurchase ? trade.lngPurchaseUnitPrice : trade.lngSalesUnitPrice;
        row.lngAmount = blnPurchase ? trade.lngPurchaseAmount : trade.lngSalesAmount;
        row.lngRunId = runId();
        row.lngLineNumber = m_run ? m_run->lngLine : 0;

        if (m_run) {
            try {
                current->writeTrade(row);
            } catch (const DatabaseFailure& failure) {
                return fail(strError, blnFailed, failure.message());
            }
            if (giveKind) {
                try {
                    current->giveKind(productId, kindCode, row.lngRunId);
                    withKind.insert(productId);
                } catch (const DatabaseFailure& failure) {
                    // The trade is in the run already: the run cannot go in whole without it.
                    runLost = true;
                    return fail(strError, blnFailed, failure.message());
                }
            }
            return Succeed(strError, blnFailed);
        }
        // Outside a run the trade and its kind are one transaction of their own.
        try {
            current->beginLoneWrite();
            current->writeTrade(row);
            if (giveKind)
                current->giveKind(productId, kindCode, 0);
            current->flush();
            current->commitLoneWrite();
        } catch (const ReferenceGone&) {
            current->discardQueued();
            current->database().rollback();
            // Someone else has removed rows since they were looked up.
            return fail(strError, blnFailed, referenceGone(*current, parties, productId, partyId));
        } catch (const DatabaseFailure& failure) {
            current->discardQueued();
            current->database().rollback();
            return fail(strError, blnFailed, failure.message());
        }
        if (giveKind)
            withKind.insert(productId);
        Succeed(strError, blnFailed);
    });
    throwIfRunLost(strError, runLost);
}

void LedgerStore::throwIfRunLost(const QString& reason, bool lost)
{
    if (!m_run)
        return;
    // Some failures end the transaction by themselves (a lost server, or
    // SQLite giving up after an error of the disk or of memory).
    if (!lost && m_engine && m_engine->transactionIntact())
        return;
    const QString text = QStringLiteral("インポートの書き込みが失われました: %1").arg(reason);
    forgetRun();
    m_reasons.Report(text);
    throw std::runtime_error(text.toStdString());
}

void LedgerStore::forgetRun() noexcept
{
    if (!m_run || !m_engine)
        return;
    m_engine->discardQueued();
    m_engine->database().rollback();
    m_engine->runEnded();
    m_run.reset();
    // Master rows added by the run are gone with it.
    m_names.forget();
}

std::optional<PriorRun> LedgerStore::FindImportedRun(const QByteArray& strSha256, QString& strError,
                                                     bool& blnFailed)
{
    std::optional<PriorRun> prior;
    Guarded(strError, blnFailed, [&] {
        QString reason;
        LedgerEngine* current = engine(reason);
        if (!current)
            return fail(strError, blnFailed, reason);
        try {
            prior = FindRunOfFile(current->database(), strSha256);
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
    Guarded(strError, blnFailed, [&] {
        QString reason;
        LedgerEngine* current = engine(reason);
        if (!current)
            return fail(strError, blnFailed, reason);
        if (m_run)
            return fail(strError, blnFailed, QStringLiteral("インポートが既に始まっています。"));
        LedgerDatabase& db = current->database();
        try {
            current->runStarting();
            if (auto busy = WaitForTurn(db, whileWaiting)) {
                current->runEnded();
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
                    current->runEnded();
                    return Succeed(strError, blnFailed);
                }
            }
            // Others may have changed the master rows since they were cached.
            m_names.forget();
            m_run = RecordRunStart(db, run);
            m_skipped = 0;
            startLook(m_run->lngRunId);
            Succeed(strError, blnFailed);
        } catch (const DatabaseFailure& failure) {
            repeat.reset();
            db.rollback();
            current->runEnded();
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

void LedgerStore::startLook(int64_t ownRunId)
{
    m_matcher.reset(ownRunId);
    for (auto& told : m_told)
        told.clear();
}

void LedgerStore::StartLook() { startLook(runId()); }

void LedgerStore::lookAt(LedgerEngine& current, const std::vector<LineToLook>& lines, bool blnPurchase,
                         std::vector<LineLook>& looks)
{
    const MasterTable parties = blnPurchase ? MasterTable::Suppliers : MasterTable::Customers;
    // The masters of the window's names, asked for together.
    std::vector<QString> products, partyNames, kinds;
    for (const LineToLook& line : lines) {
        products.push_back(line.product->strProductName);
        partyNames.push_back(line.party->strPartyName);
        kinds.push_back(*line.kind);
    }
    const std::vector<FoundMaster> productMasters = m_names.lookUp(current, MasterTable::Products, products);
    const std::vector<FoundMaster> partyMasters = m_names.lookUp(current, parties, partyNames);
    const std::vector<FoundMaster> kindMasters = m_names.lookUp(current, MasterTable::Kinds, kinds);

    // Each new name and each name written another way, told at its first line.
    const auto tell = [&](LineLook& look, MasterTable table, const QString& name, const FoundMaster& master) {
        if (name.isEmpty())
            return;
        if (master.id == 0) {
            if (m_told[std::size_t(table)].insert(LedgerNames::NameKey(name)).second)
                look.newNames << QStringLiteral("新しい%1「%2」").arg(LedgerNames::What(table), name);
        } else if (master.strName != name && m_told[std::size_t(table)].insert(name).second) {
            look.matchedNames << LedgerNames::MatchText(NameMatch{table, name, master.strName, int32_t(master.id)});
        }
    };
    std::vector<TradeMatcher::Line> stored;
    char date[kLedgerDateBufferSize];
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineToLook& line = lines[i];
        LineLook& look = looks[i];
        const QString& product = line.product->strProductName;
        const QString& party = line.party->strPartyName;
        const std::size_t dateLength = FormatLedgerDate(line.trade->dtmTradeDate, date);
        const MasterRow productRow{product, {}, {}};
        const MasterRow partyRow{party, {}, {}};
        if (product.isEmpty())
            look.strRefusal = QStringLiteral("製品名が空です。");
        else if (dateLength == 0)
            look.strRefusal = QStringLiteral("取引の日付が正しくありません（100 年から 9999 年まで）。");
        else if (QString refused = LedgerNames::Unstorable(MasterTable::Products, productRow); !refused.isEmpty())
            look.strRefusal = refused;
        else if (QString refused = party.isEmpty() ? QString() : LedgerNames::Unstorable(parties, partyRow);
                 !refused.isEmpty())
            look.strRefusal = refused;
        if (!look.strRefusal.isEmpty())
            continue;
        tell(look, MasterTable::Products, product, productMasters[i]);
        tell(look, parties, party, partyMasters[i]);
        tell(look, MasterTable::Kinds, *line.kind, kindMasters[i]);
        // A line with a name not stored yet is new, whatever the ledger holds.
        if (productMasters[i].id == 0 || (!party.isEmpty() && partyMasters[i].id == 0))
            continue;
        const TradeRecord& trade = *line.trade;
        TradeMatcher::Line known;
        known.intKind = blnPurchase ? 0 : 1;
        known.strDate = QByteArray(date, qsizetype(dateLength));
        known.lngProductId = int32_t(productMasters[i].id);
        known.lngPartyId = party.isEmpty() ? 0 : int32_t(partyMasters[i].id);
        known.lngQuantity = blnPurchase ? trade.lngPurchaseQuantity : trade.lngSalesQuantity;
        known.lngUnitPrice = blnPurchase ? trade.lngPurchaseUnitPrice : trade.lngSalesUnitPrice;
        known.inLedger = &look.inLedger;
        stored.push_back(std::move(known));
    }
    m_matcher.match(current, stored);
}

std::vector<LineLook> LedgerStore::LookAtLines(const std::vector<LineToLook>& lines, bool blnPurchase,
                                               QString& strError, bool& blnFailed)
{
    std::vector<LineLook> looks(lines.size());
    Guarded(strError, blnFailed, [&] {
        QString reason;
        LedgerEngine* current = engine(reason);
        if (!current)
            return fail(strError, blnFailed, reason);
        try {
            lookAt(*current, lines, blnPurchase, looks);
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
