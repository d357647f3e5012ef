#pragma once

#include "LineReader.h"
#include "clsLedgerStore.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

// The store's calls around the lines, where the engine needs each to have
// worked: a failure, reported through the store's flag pair, is raised as
// the automation error with the store's reason, in this one place.
class StoreCalls {
public:
    explicit StoreCalls(clsLedgerStore& store) : m_store(store) { }

    clsLedgerStore& store() { return m_store; }
    std::optional<PriorRun> BeginRun(const ImportRunInfo& run, const std::function<void()>& whileWaiting);
    // What the store says of the lines of a window that reach it (those not
    // refused already), with their places in the window in looked.
    std::vector<LineLook> LookAt(const std::vector<ReadLine>& window, bool blnPurchase,
                                 std::vector<std::size_t>& looked);
    void SkipLine(int64_t lngLineNumber, const LedgerMatch& match);
    void RejectLine(const RejectedLine& line);
    void CommitRun(int32_t lngRead, int32_t lngImported);

private:
    clsLedgerStore& m_store;
};
