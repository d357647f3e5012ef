#include "LedgerLook.h"

#include <functional>

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
        if (m_asked.insert(line.strDate).second)
            probes.push_back(TradeProbe{line.strDate});
    }
    if (!probes.empty()) {
        for (const StoredTrade& trade : engine.findTrades(probes)) {
            if (m_ownRunId != 0 && trade.lngRunId == m_ownRunId)
                continue;
            const Identity identity{trade.intKind,     trade.strDate,    trade.lngProductId,
                                    trade.lngPartyId,  trade.lngQuantity, trade.lngUnitPrice};
            m_left[identity].push_back(LedgerMatch{trade.lngRunId, trade.lngLineNumber});
        }
    }
    for (const Line& line : lines) {
        const auto left = m_left.find(
            Identity{line.intKind, line.strDate, line.lngProductId, line.lngPartyId, line.lngQuantity, line.lngUnitPrice});
        if (left == m_left.end() || left->second.empty())
            continue;
        *line.inLedger = left->second.front();
        left->second.pop_front();
    }
}
