#pragma once

#include "LedgerDatabase.h"
#include "clsLedgerHistory.h"

// The history of the ledger's runs and their undo, written once for both
// engines; the engine's class owns the connection and gives it through
// database(). Each operation costs what the runs concerned hold, not what
// the ledger holds.
class LedgerHistory : public clsLedgerHistory {
public:
    std::vector<RunSummary> Runs() override;
    std::optional<RunSummary> Run(int64_t lngRunId) override;
    std::optional<RunRejects> Rejects(int64_t lngRunId) override;
    std::optional<RunDetail> Detail(int64_t lngRunId) override;
    UndoResult UndoRun(int64_t lngRunId, const std::function<void()>& whileWaiting) override;
    UndoResult PreviewUndo(int64_t lngRunId, const std::function<void()>& whileWaiting) override;

protected:
    virtual LedgerDatabase& database() = 0;

private:
    // The undo, committed or, for a preview, rolled back once counted.
    UndoResult Undo(int64_t lngRunId, const std::function<void()>& whileWaiting, bool blnCommit);
};
