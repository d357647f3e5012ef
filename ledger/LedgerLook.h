#pragma once

#include "LedgerEngine.h"
#include "LedgerNames.h"
#include "clsLedgerStore.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <deque>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// Which lines of a file are the same as stored trades: a line's trade is
// the same as a stored one when its mode, date, product, party, quantity and
// unit price are, the product and the party being any master of their
// names' keys. Identical lines are counted, not collapsed: each stored
// trade is matched by one line at most, in the file's order, so that where
// the file holds k lines of one trade and the ledger m, the first min(k, m)
// are in the ledger.
class TradeMatcher {
public:
    // A line whose product and party are stored, as the matcher takes it.
    struct Line {
        int32_t intKind = 0;
        QByteArray strDate;
        const KeyMasters* products = nullptr;  // the masters of its product's key
        const KeyMasters* parties = nullptr;   // of its party's key; null for no party
        int64_t lngQuantity = 0;
        int64_t lngUnitPrice = 0;
        std::optional<LedgerMatch>* inLedger = nullptr;  // set when one is left
    };

    // Begins afresh; a run's own trades are never matched.
    void reset(int64_t ownRunId);
    // The lines of a window, in file order after those already matched.
    // Throws DatabaseFailure.
    void match(LedgerEngine& engine, const std::vector<Line>& lines);

private:
    struct Identity {
        int32_t intKind;
        QByteArray strDate;
        int32_t lngProductId;
        int32_t lngPartyId;
        int64_t lngQuantity;
        int64_t lngUnitPrice;
        bool operator==(const Identity&) const = default;
    };
    struct IdentityHash {
        std::size_t operator()(const Identity& identity) const noexcept;
    };

    struct Stored {
        int64_t lngTradeId;
        LedgerMatch match;
    };
    int64_t m_ownRunId = 0;
    // The stored trades of each identity asked for and not matched yet, oldest first.
    std::unordered_map<Identity, std::deque<Stored>, IdentityHash> m_left;
    // The probes whose trades were asked for.
    std::set<TradeProbe> m_asked;
};

// A look at a file's lines, window after window: the trades they are the
// same as, and the names they would add or match, each told at its first line.
class FileLook {
public:
    // Begins afresh; a run's own trades are never matched.
    void start(int64_t ownRunId);
    // Throws DatabaseFailure.
    void look(LedgerEngine& engine, LedgerNames& names, const std::vector<LineToLook>& lines, bool blnPurchase,
              std::vector<LineLook>& looks);

private:
    TradeMatcher m_matcher;
    // New names by their keys, and names matched another way, already told.
    std::array<std::unordered_set<QString, NameHash>, kMasterTables.size()> m_told;
    // Products an earlier line gives a kind: stored ones by ID, new ones by key.
    QSet<int32_t> m_kindGiven;
    std::unordered_set<QString, NameHash> m_kindGivenNew;
};
