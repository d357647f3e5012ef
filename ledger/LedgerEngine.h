#pragma once

#include "LedgerDatabase.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// What each database gives the one ledger store: only what is its own.
// The store keeps the rules (what is checked, cached, added and refused);
// an engine finds, adds and writes, and takes and gives back the ledger's
// turn. Failures are thrown as DatabaseFailure, of a kind the engine chose.

// The master tables, whose rows the store resolves by name.
enum class MasterTable { Kinds, Products, Suppliers, Customers };
inline constexpr std::array<MasterTable, 4> kMasterTables = {MasterTable::Kinds, MasterTable::Products,
                                                             MasterTable::Suppliers, MasterTable::Customers};

// A name to add with the rest of its row: a product's maker, reading, model
// and spec; a party's reading; nothing more for a kind. strKey is the key
// of the name (LedgerNames::NameKey), set by the store.
struct MasterRow {
    QString strName;
    QStringList fields;
    QString strKey = QString();
};

// A master row a name's key finds.
struct FoundMaster {
    int64_t id = 0;
    QString strName;
    bool blnHasKind = false;  // a product that carries a kind code
    bool blnAdded = false;    // added by the call that gave it
};

// The masters of one key, oldest first; empty when none has it. A ledger
// made before the keys may hold several.
using KeyMasters = std::vector<FoundMaster>;

// A trade as stored, as the look at a file's lines compares it.
struct StoredTrade {
    int64_t lngTradeId = 0;
    int64_t lngRunId = 0;  // 0 for a trade older than the runs
    int64_t lngLineNumber = 0;
    int32_t intKind = 0;
    QByteArray strDate;  // "YYYY-MM-DD[ HH:MM:SS]"
    int32_t lngProductId = 0;
    int32_t lngPartyId = 0;  // the supplier of a purchase, the customer of a sale; 0 for none
    int64_t lngQuantity = 0;
    int64_t lngUnitPrice = 0;
};

// The stored trades of one day and time, quantity and unit price, looked
// for together through their index: what the look reads follows the file,
// not the ledger.
struct TradeProbe {
    QByteArray strDate;
    int64_t lngQuantity = 0;
    int64_t lngUnitPrice = 0;
    bool operator<(const TradeProbe& other) const
    {
        if (strDate != other.strDate)
            return strDate < other.strDate;
        return lngQuantity != other.lngQuantity ? lngQuantity < other.lngQuantity : lngUnitPrice < other.lngUnitPrice;
    }
};

// A trade whose references the store has checked, as the ledger keeps it.
struct TradeRow {
    int32_t intKind = 0;         // 0 purchase, 1 sales
    const char* date = nullptr;  // "YYYY-MM-DD[ HH:MM:SS]", valid for the call
    std::size_t dateLength = 0;
    int32_t lngProductId = 0;
    int32_t lngSupplierId = 0;  // 0 for none
    int32_t lngCustomerId = 0;  // 0 for none
    int64_t lngQuantity = 0;
    int64_t lngUnitPrice = 0;
    int64_t lngAmount = 0;
    int64_t lngRunId = 0;       // 0 outside a run
    int64_t lngLineNumber = 0;  // 0 outside a run
};

// A trade the database refused because a row it names was removed by
// someone else since it was checked.
class ReferenceGone : public DatabaseFailure {
public:
    using DatabaseFailure::DatabaseFailure;
};

// How the commit of a run ended.
enum class CommitOutcome { Committed, NotCommitted, InDoubt };

class LedgerEngine {
public:
    virtual ~LedgerEngine() = default;

    // The connection's SQL, for runs, the history, undo and upgrades.
    virtual LedgerDatabase& database() = 0;

    // Before each operation: false, with the reason, when the ledger cannot
    // be had now. Outside a run an engine may connect again to a ledger it
    // lost; connection() then changes, and what was learnt before is stale.
    virtual bool ready(bool runOpen, QString& reason) = 0;
    virtual int connection() const { return 0; }

    // Whether names looked up many at once cost less than one at a time:
    // so on a server, where each statement is a round trip.
    virtual bool batchesNames() const = 0;
    // The masters each key finds, in order.
    virtual std::vector<KeyMasters> findMasters(MasterTable table, const std::vector<QString>& keys) = 0;
    // Inside a write transaction: adds the rows whose keys find no master
    // yet (another program may add one meanwhile) and gives the masters of
    // each row's key, found or added, in order.
    virtual std::vector<KeyMasters> addMasters(MasterTable table, const std::vector<MasterRow>& rows,
                                               int64_t runId) = 0;
    virtual bool masterExists(MasterTable table, int32_t id) = 0;
    // The stored trades of each probe, oldest first within each.
    virtual std::vector<StoredTrade> findTrades(const std::vector<TradeProbe>& probes) = 0;

    // Inside a write transaction: writes the trade, or queues it for flush().
    virtual void writeTrade(const TradeRow& trade) = 0;
    // Gives a product that has no kind this one, queued like the trades; a
    // code that names no kind is left out. The run is kept with it.
    virtual void giveKind(int32_t productId, int32_t kindCode, int64_t runId) = 0;
    // Sends what is queued; throws ReferenceGone or DatabaseFailure.
    virtual void flush() = 0;
    virtual void discardQueued() noexcept = 0;

    // A write outside a run, as a transaction of its own, waiting a moment
    // for a ledger another program is writing.
    virtual void beginLoneWrite() = 0;
    // Throws; the transaction is over either way.
    virtual void commitLoneWrite() = 0;
    // Whether the write transaction open now can still be committed.
    virtual bool transactionIntact() = 0;

    // Before a run waits for its turn, and after it ended, whichever way.
    virtual void runStarting() { }
    virtual void runEnded() noexcept { }
    // Commits the run that holds the turn. The reason when not Committed.
    virtual CommitOutcome commitRun(const QString& token, QString& reason) = 0;
};
