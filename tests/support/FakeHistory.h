#pragma once

#include "clsLedgerHistory.h"

#include <map>
#include <memory>
#include <vector>

// A ledger history held in memory, shared with the test.
struct FakeHistoryData {
    std::vector<RunSummary> runs;  // newest first
    std::map<int64_t, RunRejects> rejects;
    std::map<int64_t, RunDetail> details;  // its run and rejects are taken from above
    std::map<int64_t, clsLedgerHistory::UndoResult> previews;
    bool unreadable = false;         // every operation raises LedgerError
    std::vector<int64_t> undone;     // runs given to UndoRun
    std::vector<int64_t> previewed;  // runs given to PreviewUndo
    int opened = 0;
};

class FakeHistory : public clsLedgerHistory {
public:
    explicit FakeHistory(std::shared_ptr<FakeHistoryData> data) : m_data(std::move(data)) { }

    static LedgerHistoryFactory factory(const std::shared_ptr<FakeHistoryData>& data)
    {
        return [data](const QString&) {
            ++data->opened;
            if (data->unreadable)
                throw LedgerError(QStringLiteral("台帳がありません。"));
            return std::make_unique<FakeHistory>(data);
        };
    }

    std::vector<RunSummary> Runs() override { return m_data->runs; }
    std::optional<RunSummary> Run(int64_t id) override
    {
        for (const RunSummary& run : m_data->runs)
            if (run.lngRunId == id)
                return run;
        return std::nullopt;
    }
    std::optional<RunRejects> Rejects(int64_t id) override
    {
        if (!Run(id))
            return std::nullopt;
        const auto found = m_data->rejects.find(id);
        return found == m_data->rejects.end() ? RunRejects{} : found->second;
    }
    std::optional<RunDetail> Detail(int64_t id) override
    {
        const std::optional<RunSummary> run = Run(id);
        if (!run)
            return std::nullopt;
        const auto found = m_data->details.find(id);
        RunDetail detail = found == m_data->details.end() ? RunDetail{} : found->second;
        detail.run = *run;
        detail.rejects = *Rejects(id);
        return detail;
    }
    // The preview a test gave, else the trades an undo would take.
    UndoResult PreviewUndo(int64_t id, const std::function<void()>&) override
    {
        m_data->previewed.push_back(id);
        const auto found = m_data->previews.find(id);
        if (found != m_data->previews.end())
            return found->second;
        const std::optional<RunSummary> run = Run(id);
        if (!run)
            return {UndoOutcome::UnknownRun, 0, {}};
        if (run->blnUndone)
            return {UndoOutcome::AlreadyUndone, 0, {}};
        return {UndoOutcome::Undone, run->lngTradesInLedger, {}};
    }
    UndoResult UndoRun(int64_t id, const std::function<void()>&) override
    {
        for (RunSummary& run : m_data->runs) {
            if (run.lngRunId != id)
                continue;
            if (run.blnUndone)
                return {UndoOutcome::AlreadyUndone, 0, {}};
            m_data->undone.push_back(id);
            run.blnUndone = true;
            const int64_t trades = run.lngTradesInLedger;
            run.lngTradesInLedger = 0;
            return {UndoOutcome::Undone, trades, {}};
        }
        return {UndoOutcome::UnknownRun, 0, {}};
    }

private:
    std::shared_ptr<FakeHistoryData> m_data;
};
