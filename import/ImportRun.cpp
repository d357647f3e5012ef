#include "ImportRun.h"

#include "RecordSource.h"
#include "RuntimeError.h"
#include "TextFile.h"

#include <algorithm>

namespace {

// What the reading of a line put in the records, into the records the
// store sees: the fields the store writes (IDs, and those the engine never
// sets) stay as the store left them.
void TakeLineValues(const TradeRecord& from, bool blnPurchase, TradeRecord& to)
{
    to.intTradeKind = from.intTradeKind;
    to.dtmTradeDate = from.dtmTradeDate;
    if (blnPurchase) {
        to.lngPurchaseQuantity = from.lngPurchaseQuantity;
        to.lngPurchaseUnitPrice = from.lngPurchaseUnitPrice;
        to.lngPurchaseAmount = from.lngPurchaseAmount;
    } else {
        to.lngSalesQuantity = from.lngSalesQuantity;
        to.lngSalesUnitPrice = from.lngSalesUnitPrice;
        to.lngSalesAmount = from.lngSalesAmount;
    }
}

void TakeTexts(ProductRecord& from, ProductRecord& to)
{
    to.strMaker = std::move(from.strMaker);
    to.strReading = std::move(from.strReading);
    to.strProductName = std::move(from.strProductName);
    to.strModel = std::move(from.strModel);
    to.strSpec = std::move(from.strSpec);
}

void TakeTexts(PartyRecord& from, PartyRecord& to)
{
    to.strReading = std::move(from.strReading);
    to.strPartyName = std::move(from.strPartyName);
}

}  // namespace

ImportRun::ImportRun(StoreCalls& store, bool blnPurchase, RunListener& listener)
    : m_store(store), m_blnPurchase(blnPurchase), m_listener(listener)
{
}

std::optional<RunResult> ImportRun::Run(RecordSource& source, LineReader& lineReader, ImportRunInfo info,
                                        const RunChoice& choice)
{
    info.lngRepeatOf = choice.lngRepeatOf;
    for (;;) {
        const std::optional<PriorRun> repeat = m_store.BeginRun(info, [this] { m_listener.Breathe(); });
        if (!repeat)
            break;
        // Another clerk imported the same file while this one waited its turn.
        if (!m_listener.ImportAgain(*repeat))
            return std::nullopt;
        info.lngRepeatOf = repeat->lngRunId;
    }
    clsLedgerStore& store = m_store.store();
    // Looked at in the run's turn: a ledger that held no trade then holds
    // none of the file's lines, and the run need not look for them.
    m_blnLedgerHeldTrades = store.HoldsTrades().value_or(true);
    RunResult result;
    // Read ahead as far as the store wants to hear of lines at once: a
    // window of them costs the memory caches what it saves in statements.
    const std::size_t linesAhead = std::max<std::size_t>(1, store.LinesAhead());
    std::vector<ReadLine> window;
    window.reserve(linesAhead);
    ComingNames names;
    while (!source.AtEnd()) {
        ReadWindow(source, lineReader, window, linesAhead, m_intRead,
                   [this](const ReadLine& line) { m_listener.LineRead(line); });
        const std::vector<std::optional<LedgerMatch>> inLedger = LinesInLedger(window, choice, result);
        names = ComingNames();
        for (std::size_t i = 0; i < window.size(); ++i) {
            if (window[i].IsRefused() || inLedger[i])
                continue;
            names.products.push_back(&window[i].product);
            names.parties.push_back(&window[i].party);
            names.kinds.push_back(&window[i].strKind);
        }
        store.PrepareNames(names, m_blnPurchase);
        for (std::size_t i = 0; i < window.size(); ++i) {
            ReadLine& line = window[i];
            if (line.IsRefused() || inLedger[i]) {
                m_intRead = AddInt16(m_intRead, 1);
                // A line whose own values failed reaches the store not at all:
                // its names must not become products or parties.
                if (line.IsRefused())
                    Refuse(line, std::move(line.reasons), result);
                else  // read, and written nowhere but with the run as skipped
                    Skip(line, *inLedger[i], result);
            } else {
                ImportLine(line, result);
            }
            m_listener.Breathe();
        }
    }
    result.matchedNames = store.MatchedNames();
    m_store.CommitRun(m_intRead, m_intImported);
    result.totals.lngRead = m_intRead;
    result.totals.lngImported = m_intImported;
    return result;
}

std::vector<std::optional<LedgerMatch>> ImportRun::LinesInLedger(const std::vector<ReadLine>& window,
                                                                 const RunChoice& choice, RunResult& result)
{
    std::vector<std::optional<LedgerMatch>> inLedger(window.size());
    if (!choice.blnNewOnly || !m_blnLedgerHeldTrades)
        return inLedger;
    // In the run's turn: no one else can add the same lines meanwhile.
    std::vector<std::size_t> looked;
    const std::vector<LineLook> looks = m_store.LookAt(window, m_blnPurchase, looked);
    for (std::size_t j = 0; j < looked.size(); ++j) {
        if (!looks[j].inLedger)
            continue;
        if (*choice.blnNewOnly)
            inLedger[looked[j]] = looks[j].inLedger;
        else  // imported all the same, as the clerk chose: only counted
            ++result.totals.lngAgain;
    }
    return inLedger;
}

void ImportRun::ImportLine(ReadLine& line, RunResult& result)
{
    clsLedgerStore& store = m_store.store();
    TakeLineValues(line.trade, m_blnPurchase, m_trade);
    TakeTexts(line.product, m_product);
    TakeTexts(line.party, m_blnPurchase ? m_supplier : m_customer);
    m_strKind = std::move(line.strKind);

    store.BeginLine(line.lngLineNumber);
    // One flag serves every call of a line; only the insert's is looked at.
    QString strError;
    bool blnFailed = false;
    const QString strProductName = m_product.strProductName;
    store.ResolveProduct(strProductName, m_product, strError, blnFailed);
    m_trade.lngProductID = m_product.lngProductID;
    strError.clear();
    if (m_blnPurchase) {
        const QString strPartyName = m_supplier.strPartyName;
        store.ResolveSupplier(strPartyName, m_supplier, strError, blnFailed);
        m_trade.lngSupplierID = m_supplier.lngPartyID;
    } else {
        const QString strPartyName = m_customer.strPartyName;
        store.ResolveCustomer(strPartyName, m_customer, strError, blnFailed);
        m_trade.lngCustomerID = m_customer.lngPartyID;
    }
    m_intRead = AddInt16(m_intRead, 1);
    m_product.lngKindCode = store.GetKindCode(m_strKind);

    strError.clear();
    store.InsertTrade(m_product, m_supplier, m_customer, m_trade, m_blnPurchase, strError, blnFailed);
    if (!blnFailed)
        m_intImported = AddInt16(m_intImported, 1);
    else
        Refuse(line, {LineReason{QString(), strError, QString(), QString()}}, result);
}

void ImportRun::Refuse(const ReadLine& line, std::vector<LineReason> reasons, RunResult& result)
{
    RejectedLine rejected{line.lngLineNumber, WithUndecodableShown(line.strRecord), std::move(reasons)};
    m_store.RejectLine(rejected);
    if (result.firstRefused.size() < RunResult::kMostDetailLines)
        result.firstRefused.push_back(std::move(rejected));
    ++result.totals.lngRefused;
}

void ImportRun::Skip(const ReadLine& line, const LedgerMatch& match, RunResult& result)
{
    m_store.SkipLine(line.lngLineNumber, match);
    if (result.firstSkipped.size() < RunResult::kMostDetailLines)
        result.firstSkipped.push_back(SkippedLine{line.lngLineNumber, match});
    ++result.totals.lngSkipped;
}
