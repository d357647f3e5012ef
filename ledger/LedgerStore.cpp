#include "LedgerStore.h"

#include "LedgerDate.h"
#include "LedgerHistory.h"
#include "LedgerSchema.h"
#include "NoLedgerEngine.h"

#include <stdexcept>
#include <unordered_set>
#include <utility>

namespace {

class EngineHistory : public LedgerHistory {
public:
    explicit EngineHistory(std::unique_ptr<LedgerEngine> engine) : m_engine(std::move(engine)) { }

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

LedgerStore::LedgerStore(EngineOpener openEngine, LookOpener openToLook)
    : m_openEngine(std::move(openEngine)), m_openToLook(std::move(openToLook)),
      m_notConnected(NotConnectedText(QString()))
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
    m_lookOnly = false;
    open([&](QString& reason) { return m_openEngine(strConnection, reason); }, strError, blnFailed);
}

void LedgerStore::OpenToLook(const QString& strConnection, QString& strError, bool& blnFailed)
{
    m_lookOnly = true;
    open(
        [&](QString& reason) -> std::unique_ptr<LedgerEngine> {
            bool absent = false;
            std::unique_ptr<LedgerEngine> opened = m_openToLook(strConnection, reason, absent);
            if (!opened && absent) {
                // Nothing to compare with: every line is new, and the look says why.
                m_noLedgerYet = reason;
                return NoLedgerEngine();
            }
            return opened;
        },
        strError, blnFailed);
}

void LedgerStore::open(const std::function<std::unique_ptr<LedgerEngine>(QString& reason)>& openEngine,
                       QString& strError, bool& blnFailed)
{
    forgetRun();
    m_engine.reset();
    m_names.forget();
    m_reasons.Forget();
    m_runsStarted.clear();
    m_noLedgerYet.clear();
    m_notConnected = NotConnectedText(QString());
    Guarded(strError, blnFailed, [&] {
        QString reason;
        m_engine = openEngine(reason);
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

bool LedgerStore::refuseWrite(QString& strError, bool& blnFailed)
{
    if (!m_lookOnly)
        return false;
    fail(strError, blnFailed, QStringLiteral("台帳は見るためだけに開かれています。"));
    return true;
}

int32_t LedgerStore::resolveName(MasterTable table, const QString& name, const QString& emptyName,
                                 const std::function<QStringList()>& fields, QString& strError, bool& blnFailed)
{
    int32_t id = 0;
    if (refuseWrite(strError, blnFailed))
        return 0;
    withEngine(strError, blnFailed, [&](LedgerEngine& current) {
        QString reason;
        if (name.isEmpty())
            return fail(strError, blnFailed, emptyName);
        id = m_names.cached(table, name);
        if (id == 0)
            id = m_names.resolve(current, table, MasterRow{name, fields()}, runId(), reason);
        if (id == 0)
            return fail(strError, blnFailed, reason);
        Succeed(strError, blnFailed);
    });
    // A name given that cannot be stored refuses its line's trade, for its own reason.
    if (blnFailed && !name.isEmpty() && m_lineRefusal.isEmpty())
        m_lineRefusal = strError;
    throwIfRunLost(strError);
    return blnFailed ? 0 : id;
}

void LedgerStore::ResolveProduct(const QString& strProductName, ProductRecord& product, QString& strError,
                                 bool& blnFailed)
{
    product.lngProductID = 0;
    // The first call of a line.
    m_lineRefusal.clear();
    // The kind code is left to InsertTrade, which sees the line's own; here
    // the record still holds the previous line's.
    product.lngProductID = resolveName(
        MasterTable::Products, strProductName, QStringLiteral("製品名が空です。"),
        [&] {
            return QStringList{product.strMaker, product.strReading, product.strModel, product.strSpec};
        },
        strError, blnFailed);
    m_lineProductId = product.lngProductID;
}

void LedgerStore::ResolveSupplier(const QString& strPartyName, PartyRecord& supplier, QString& strError,
                                  bool& blnFailed)
{
    supplier.lngPartyID = 0;
    supplier.lngPartyID = resolveName(
        MasterTable::Suppliers, strPartyName, QStringLiteral("仕入先名が空です。"),
        [&] { return QStringList{supplier.strReading}; }, strError, blnFailed);
}

void LedgerStore::ResolveCustomer(const QString& strPartyName, PartyRecord& customer, QString& strError,
                                  bool& blnFailed)
{
    customer.lngPartyID = 0;
    customer.lngPartyID = resolveName(
        MasterTable::Customers, strPartyName, QStringLiteral("販売先名が空です。"),
        [&] { return QStringList{customer.strReading}; }, strError, blnFailed);
}

int32_t LedgerStore::GetKindCode(const QString& strKind)
{
    // A line refused already gives no product a kind.
    if (strKind.isEmpty() || m_lookOnly || !m_lineRefusal.isEmpty())
        return 0;
    int32_t code = 0;
    QString error;
    bool failed = false;
    Guarded(error, failed, [&] {
        QString reason;
        LedgerEngine* current = engine(reason);
        if (current)
            code = m_names.cached(MasterTable::Kinds, strKind);
        // A new kind is added only for a product that will take it, one
        // without a kind: nothing would use it otherwise.
        const bool mayAdd = m_lineProductId == 0 || !m_names.productsWithKind().contains(m_lineProductId);
        if (current && code == 0)
            code = m_names.resolve(*current, MasterTable::Kinds, MasterRow{strKind, {}}, runId(), reason, mayAdd);
        if (code == 0 && (!current || !reason.isEmpty()))
            fail(error, failed, reason);
    });
    // The trade must not be stored without the kind its line names.
    if (failed)
        m_lineRefusal = error;
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

void LedgerStore::InsertTrade(ProductRecord& product, PartyRecord& supplier, PartyRecord& customer, TradeRecord& trade,
                              bool blnPurchase, QString& strError, bool& blnFailed)
{
    bool runLost = false;
    const QString lineRefusal = std::exchange(m_lineRefusal, QString());
    if (refuseWrite(strError, blnFailed))
        return;
    withEngine(strError, blnFailed, [&](LedgerEngine& current) {
        QString reason;
        if (!lineRefusal.isEmpty())
            return fail(strError, blnFailed, lineRefusal);

        char date[kLedgerDateBufferSize];
        const std::size_t dateLength = FormatLedgerDate(trade.dtmTradeDate, date);
        if (dateLength == 0)
            return fail(strError, blnFailed,
                        QStringLiteral("取引の日付が正しくありません（100 年から 9999 年まで）。"));
        const int32_t productId = trade.lngProductID;
        if (productId == 0)
            return fail(strError, blnFailed, QStringLiteral("取引の製品が決まっていません。"));

        const PartyRecord& party = blnPurchase ? supplier : customer;
        const MasterTable parties = blnPurchase ? MasterTable::Suppliers : MasterTable::Customers;
        const int32_t partyId = blnPurchase ? trade.lngSupplierID : trade.lngCustomerID;
        // A named party that did not resolve must not be booked as no party.
        if (partyId == 0 && !party.strPartyName.isEmpty())
            return fail(
                strError, blnFailed,
                QStringLiteral("%1「%2」が登録されていません。").arg(LedgerNames::What(parties), party.strPartyName));
        // Checked here, so that the database has no reason to refuse the trade.
        try {
            if (!m_names.known(current, MasterTable::Products, productId))
                return fail(strError, blnFailed, QStringLiteral("製品 ID %1 は登録されていません。").arg(productId));
            if (partyId != 0 && !m_names.known(current, parties, partyId))
                return fail(
                    strError, blnFailed,
                    QStringLiteral("%1 ID %2 は登録されていません。").arg(LedgerNames::What(parties)).arg(partyId));
        } catch (const DatabaseFailure& failure) {
            return fail(strError, blnFailed, failure.message());
        }
        const int32_t kindCode = product.lngKindCode;
        QSet<int32_t>& withKind = m_names.productsWithKind();
        bool giveKind = false;
        try {
            // A code that names no kind is not recorded; the trade stands without it.
            giveKind = kindCode != 0 && !withKind.contains(productId)
                       && m_names.known(current, MasterTable::Kinds, kindCode);
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
                current.writeTrade(row);
            } catch (const DatabaseFailure& failure) {
                return fail(strError, blnFailed, failure.message());
            }
            if (giveKind) {
                try {
                    current.giveKind(productId, kindCode, row.lngRunId);
                    withKind.insert(productId);
                } catch (const DatabaseFailure& failure) {
                    // The trade is in the run already: the run cannot go in whole without it.
                    runLost = true;
                    return fail(strError, blnFailed, failure.message());
                }
                m_names.use(MasterTable::Kinds, kindCode);
            }
            m_names.use(MasterTable::Products, productId);
            if (partyId != 0)
                m_names.use(parties, partyId);
            return Succeed(strError, blnFailed);
        }
        // Outside a run the trade and its kind are one transaction of their own.
        try {
            current.beginLoneWrite();
            current.writeTrade(row);
            if (giveKind)
                current.giveKind(productId, kindCode, 0);
            current.flush();
            current.commitLoneWrite();
        } catch (const ReferenceGone&) {
            current.discardQueued();
            current.database().rollback();
            // Someone else has removed rows since they were looked up.
            return fail(strError, blnFailed, referenceGone(current, parties, productId, partyId));
        } catch (const DatabaseFailure& failure) {
            current.discardQueued();
            current.database().rollback();
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
