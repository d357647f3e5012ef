#include "StoreCalls.h"

#include "RuntimeError.h"

namespace {

// Calls call with a fresh flag pair, raising the store's reason when it failed.
template <typename Call>
auto Required(Call&& call)
{
    QString strError;
    bool blnFailed = false;
    if constexpr (std::is_void_v<decltype(call(strError, blnFailed))>) {
        call(strError, blnFailed);
        if (blnFailed)
            throw RuntimeError(ERR_AUTOMATION, strError);
    } else {
        auto result = call(strError, blnFailed);
        if (blnFailed)
            throw RuntimeError(ERR_AUTOMATION, strError);
        return result;
    }
}

}  // namespace

std::optional<PriorRun> StoreCalls::BeginRun(const ImportRunInfo& run, const std::function<void()>& whileWaiting)
{
    return Required([&](QString& e, bool& f) { return m_store.BeginRun(run, whileWaiting, e, f); });
}

std::vector<LineLook> StoreCalls::LookAt(const std::vector<ReadLine>& window, bool blnPurchase,
                                         std::vector<std::size_t>& looked)
{
    std::vector<LineToLook> lines;
    looked.clear();
    for (std::size_t i = 0; i < window.size(); ++i) {
        const ReadLine& line = window[i];
        if (line.outcome != ReadLine::Outcome::Distributed)
            continue;
        looked.push_back(i);
        lines.push_back(LineToLook{line.lngLineNumber, &line.trade, &line.product, &line.party, &line.strKind});
    }
    std::vector<LineLook> looks =
        Required([&](QString& e, bool& f) { return m_store.LookAtLines(lines, blnPurchase, e, f); });
    looks.resize(lines.size());
    return looks;
}

void StoreCalls::SkipLine(int64_t lngLineNumber, const LedgerMatch& match)
{
    Required([&](QString& e, bool& f) { m_store.SkipLine(lngLineNumber, match, e, f); });
}

void StoreCalls::RejectLine(const RejectedLine& line)
{
    Required([&](QString& e, bool& f) { m_store.RejectLine(line, e, f); });
}

void StoreCalls::CommitRun(int32_t lngRead, int32_t lngImported)
{
    Required([&](QString& e, bool& f) { m_store.CommitRun(lngRead, lngImported, e, f); });
}
