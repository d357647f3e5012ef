#pragma once

#include "clsLedgerStore.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <vector>

// What a RecordingStore saw and how it is told to behave. Shared with the
// test, so it outlives the store the engine releases.
struct StoreLog {
    struct Insert {
        ProductRecord product;
        PartyRecord supplier;
        PartyRecord customer;
        TradeRecord trade;
        bool blnPurchase = false;
        bool flagOnEntry = false;
    };
    struct Resolve {
        QString name;
        int32_t kindCodeSeen = 0;  // the product record's kind code on entry
        bool flagOnEntry = false;
    };

    // Behaviour.
    bool openFails = false;
    bool resolveFails = false;
    std::set<int> refuseInserts;  // 1-based numbers of InsertTrade calls to refuse
    QString throwIn;              // operation name that throws instead
    int throwOnCall = 1;          // ... on its n-th call
    bool beginFails = false;
    bool commitFails = false;
    std::optional<PriorRun> priorRun;  // what FindImportedRun finds

    // Observations.
    int storesMade = 0;
    int storesReleased = 0;
    QStringList calls;  // "Operation:argument" in order
    QStringList connections;
    std::vector<Resolve> products;
    std::vector<Resolve> parties;
    std::vector<Insert> inserts;
    QMap<QString, int32_t> productIds, partyIds, kindCodes;
    // The run's own calls, apart from the per-line ones above.
    QStringList runCalls;
    std::vector<ImportRunInfo> runs;
    std::vector<int64_t> lineNumbers;  // given by BeginLine
    std::vector<RejectedLine> rejected;

    int countRunCalls(const QString& operation) const { return int(runCalls.count(operation)); }

    int count(const QString& operation) const
    {
        int n = 0;
        for (const auto& call : calls)
            n += call.section(QLatin1Char(':'), 0, 0) == operation;
        return n;
    }
};

// A fake ledger store that records every call into a StoreLog.
class RecordingStore : public clsLedgerStore {
public:
    explicit RecordingStore(std::shared_ptr<StoreLog> log) : m_log(std::move(log)) { ++m_log->storesMade; }
    ~RecordingStore() override { ++m_log->storesReleased; }
    RecordingStore(const RecordingStore&) = delete;
    RecordingStore& operator=(const RecordingStore&) = delete;

    static LedgerStoreFactory factory(const std::shared_ptr<StoreLog>& log)
    {
        return [log] { return std::make_unique<RecordingStore>(log); };
    }

    void OpenConnection(const QString& strConnection, QString& strError, bool& blnFailed) override
    {
        enter(QStringLiteral("OpenConnection"), strConnection);
        m_log->connections << strConnection;
        blnFailed = m_log->openFails;
        strError = blnFailed ? QStringLiteral("cannot open") : QString();
    }
    void InsertTrade(ProductRecord& product, PartyRecord& supplier, PartyRecord& customer, TradeRecord& trade,
                     bool blnPurchase, QString& strError, bool& blnFailed) override
    {
        enter(QStringLiteral("InsertTrade"), product.strProductName);
        m_log->inserts.push_back({product, supplier, customer, trade, blnPurchase, blnFailed});
        blnFailed = m_log->refuseInserts.count(int(m_log->inserts.size())) > 0;
        strError = blnFailed ? QStringLiteral("refused") : QString();
    }
    void ResolveProduct(const QString& strProductName, ProductRecord& product, QString& strError,
                        bool& blnFailed) override
    {
        enter(QStringLiteral("ResolveProduct"), strProductName);
        m_log->products.push_back({strProductName, product.lngKindCode, blnFailed});
        resolve(strProductName, m_log->productIds, product.lngProductID, strError, blnFailed);
    }
    void ResolveSupplier(const QString& strPartyName, PartyRecord& supplier, QString& strError,
                         bool& blnFailed) override
    {
        enter(QStringLiteral("ResolveSupplier"), strPartyName);
        m_log->parties.push_back({strPartyName, 0, blnFailed});
        resolve(strPartyName, m_log->partyIds, supplier.lngPartyID, strError, blnFailed);
    }
    void ResolveCustomer(const QString& strPartyName, PartyRecord& customer, QString& strError,
                         bool& blnFailed) override
    {
        enter(QStringLiteral("ResolveCustomer"), strPartyName);
        m_log->parties.push_back({strPartyName, 0, blnFailed});
        resolve(strPartyName, m_log->partyIds, customer.lngPartyID, strError, blnFailed);
    }
    int32_t GetKindCode(const QString& strKind) override
    {
        enter(QStringLiteral("GetKindCode"), strKind);
        if (strKind.isEmpty())
            return 0;
        return m_log->kindCodes.contains(strKind)
                   ? m_log->kindCodes[strKind]
                   : (m_log->kindCodes[strKind] = int32_t(m_log->kindCodes.size() + 100));
    }

    std::optional<PriorRun> FindImportedRun(const QByteArray&, QString& strError, bool& blnFailed) override
    {
        m_log->runCalls << QStringLiteral("FindImportedRun");
        strError.clear();
        blnFailed = false;
        return m_log->priorRun;
    }
    std::optional<PriorRun> BeginRun(const ImportRunInfo& run, const std::function<void()>&, QString& strError,
                                     bool& blnFailed) override
    {
        m_log->runCalls << QStringLiteral("BeginRun");
        m_log->runs.push_back(run);
        blnFailed = m_log->beginFails;
        strError = blnFailed ? QStringLiteral("no run") : QString();
        return std::nullopt;
    }
    void BeginLine(int64_t lngLineNumber) override { m_log->lineNumbers.push_back(lngLineNumber); }
    void RejectLine(const RejectedLine& line, QString& strError, bool& blnFailed) override
    {
        m_log->rejected.push_back(line);
        strError.clear();
        blnFailed = false;
    }
    void CommitRun(int32_t, int32_t, QString& strError, bool& blnFailed) override
    {
        m_log->runCalls << QStringLiteral("CommitRun");
        blnFailed = m_log->commitFails;
        strError = blnFailed ? QStringLiteral("commit failed") : QString();
    }
    void AbandonRun() override { m_log->runCalls << QStringLiteral("AbandonRun"); }

private:
    void enter(const QString& operation, const QString& argument)
    {
        m_log->calls << operation + QLatin1Char(':') + argument;
        if (operation == m_log->throwIn && m_log->count(operation) == m_log->throwOnCall)
            throw std::runtime_error("store failure in " + operation.toStdString());
    }
    // Unknown names get the next ID; an empty name or a failing store leaves the ID alone.
    void resolve(const QString& name, QMap<QString, int32_t>& ids, int32_t& id, QString& strError, bool& blnFailed)
    {
        if (m_log->resolveFails || name.isEmpty()) {
            blnFailed = true;
            strError = QStringLiteral("not resolved");
            return;
        }
        if (!ids.contains(name))
            ids[name] = int32_t(ids.size() + 1);
        id = ids[name];
        blnFailed = false;
    }

    std::shared_ptr<StoreLog> m_log;
};
