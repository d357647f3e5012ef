#include "LedgerLook.h"

#include "LedgerDate.h"

#include <functional>
#include <utility>

std::size_t TradeMatcher::IdentityHash::operator()(const Identity& identity) const noexcept
{
    std::size_t hash = std::hash<std::string_view>()(
        std::string_view(identity.strDate.constData(), std::size_t(identity.strDate.size())));
    for (const int64_t part : {int64_t(identity.intKind), int64_t(identity.lngProductId), int64_t(identity.lngPartyId),
                               identity.lngQuantity, identity.lngUnitPrice})
        hash = hash * 1000003u ^ std::hash<int64_t>()(part);
    return hash;
}

void TradeMatcher::reset(int64_t ownRunId)
{
    m_ownRunId = ownRunId;
    m_left.clear();
    m_asked.clear();
}

void TradeMatcher::match(LedgerEngine& engine, const std::vector<Line>& lines)
{
    std::vector<TradeProbe> probes;
    for (const Line& line : lines) {
        TradeProbe probe{line.strDate, line.lngQuantity, line.lngUnitPrice};
        if (m_asked.insert(probe).second)
            probes.push_back(std::move(probe));
    }
    if (!probes.empty()) {
        for (const StoredTrade& trade : engine.findTrades(probes)) {
            if (m_ownRunId != 0 && trade.lngRunId == m_ownRunId)
                continue;
            const Identity identity{trade.intKind,    trade.strDate,     trade.lngProductId,
                                    trade.lngPartyId, trade.lngQuantity, trade.lngUnitPrice};
            m_left[identity].push_back(Stored{trade.lngTradeId, LedgerMatch{trade.lngRunId, trade.lngLineNumber, {}}});
        }
    }
    for (const Line& line : lines) {
        // Mostly one product and one party; where a key has several masters,
        // the oldest stored trade of any of them.
        std::deque<Stored>* oldest = nullptr;
        const auto consider = [&](int64_t productId, int64_t partyId) {
            const auto left = m_left.find(Identity{line.intKind, line.strDate, int32_t(productId), int32_t(partyId),
                                                   line.lngQuantity, line.lngUnitPrice});
            if (left != m_left.end() && !left->second.empty()
                && (!oldest || left->second.front().lngTradeId < oldest->front().lngTradeId))
                oldest = &left->second;
        };
        for (const FoundMaster& product : *line.products) {
            if (!line.parties) {
                consider(product.id, 0);
                continue;
            }
            for (const FoundMaster& party : *line.parties)
                consider(product.id, party.id);
        }
        if (!oldest)
            continue;
        *line.inLedger = oldest->front().match;
        oldest->pop_front();
    }
}

void FileLook::start(int64_t ownRunId)
{
    m_matcher.reset(ownRunId);
    for (auto& told : m_told)
        told.clear();
    m_kindGiven.clear();
    m_kindGivenNew.clear();
}

void FileLook::look(LedgerEngine& current, LedgerNames& names, const std::vector<LineToLook>& lines, bool blnPurchase,
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
    const std::vector<KeyMasters> productMasters = names.lookUp(current, MasterTable::Products, products);
    const std::vector<KeyMasters> partyMasters = names.lookUp(current, parties, partyNames);
    const std::vector<KeyMasters> kindMasters = names.lookUp(current, MasterTable::Kinds, kinds);

    // Each new name and each name written another way, told at its first new line.
    const auto tell = [&](LineLook& look, MasterTable table, const QString& name, const KeyMasters& masters) {
        if (name.isEmpty())
            return;
        if (masters.empty()) {
            if (m_told[std::size_t(table)].insert(names.keyOf(name)).second)
                look.newNames << QStringLiteral("新しい%1「%2」").arg(LedgerNames::What(table), name);
            return;
        }
        const FoundMaster& master = LedgerNames::MasterOf(masters, name);
        if (master.strName != name && m_told[std::size_t(table)].insert(name).second)
            look.matchedNames << LedgerNames::MatchText(NameMatch{table, name, master.strName, int32_t(master.id)});
    };
    // A kind is added only for a product that takes it: a new one, or one
    // stored without a kind, that no earlier line gives one.
    const auto takesKind = [&](const QString& product, const KeyMasters& masters) {
        if (masters.empty())
            return m_kindGivenNew.insert(names.keyOf(product)).second;
        const FoundMaster& master = LedgerNames::MasterOf(masters, product);
        if (master.blnHasKind || m_kindGiven.contains(int32_t(master.id)))
            return false;
        m_kindGiven.insert(int32_t(master.id));
        return true;
    };
    std::vector<TradeMatcher::Line> stored;
    char date[kLedgerDateBufferSize];
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineToLook& line = lines[i];
        LineLook& look = looks[i];
        const QString& product = line.product->strProductName;
        const QString& party = line.party->strPartyName;
        const QString& kind = *line.kind;
        const std::size_t dateLength = FormatLedgerDate(line.trade->dtmTradeDate, date);
        if (product.isEmpty())
            look.strRefusal = QStringLiteral("製品名が空です。");
        else if (dateLength == 0)
            look.strRefusal = QStringLiteral("取引の日付が正しくありません（100 年から 9999 年まで）。");
        // Whichever master a name is of, one that cannot be stored refuses the line.
        for (const auto& [table, name] : {std::pair{MasterTable::Products, &product}, std::pair{parties, &party},
                                          std::pair{MasterTable::Kinds, &kind}}) {
            if (look.strRefusal.isEmpty() && !name->isEmpty())
                look.strRefusal = names.unstorable(table, MasterRow{*name, {}});
        }
        // A line with a name not stored yet is new, whatever the ledger holds.
        if (!look.strRefusal.isEmpty() || productMasters[i].empty() || (!party.isEmpty() && partyMasters[i].empty()))
            continue;
        const TradeRecord& trade = *line.trade;
        TradeMatcher::Line known;
        known.intKind = blnPurchase ? 0 : 1;
        known.strDate = QByteArray(date, qsizetype(dateLength));
        known.products = &productMasters[i];
        known.parties = party.isEmpty() ? nullptr : &partyMasters[i];
        known.lngQuantity = blnPurchase ? trade.lngPurchaseQuantity : trade.lngSalesQuantity;
        known.lngUnitPrice = blnPurchase ? trade.lngPurchaseUnitPrice : trade.lngSalesUnitPrice;
        known.inLedger = &look.inLedger;
        stored.push_back(std::move(known));
    }
    m_matcher.match(current, stored);

    // Told of the new lines only: a line left out as in the ledger resolves
    // no name, and its own detail is the trade it matches.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineLook& look = looks[i];
        if (!look.strRefusal.isEmpty() || look.inLedger)
            continue;
        const QString& product = lines[i].product->strProductName;
        const QString& kind = *lines[i].kind;
        tell(look, MasterTable::Products, product, productMasters[i]);
        tell(look, parties, lines[i].party->strPartyName, partyMasters[i]);
        if (!kind.isEmpty() && (takesKind(product, productMasters[i]) || !kindMasters[i].empty()))
            tell(look, MasterTable::Kinds, kind, kindMasters[i]);
    }
}
