#pragma once

#include "LedgerDatabase.h"
#include "clsLedgerHistory.h"
#include "clsLedgerStore.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The ledger's logic that does not depend on the engine: its schema
// version and upgrades, the record of every run with its refused lines,
// and undoing a run. Everything here throws DatabaseFailure.

// Version 1 kept trades alone; version 2 keeps the runs that brought them.
constexpr int kLedgerSchemaVersion = 2;

// Brings a ledger of an earlier version to kLedgerSchemaVersion, inside the
// caller's transaction. Trades already there belong to no run.
void UpgradeLedgerSchema(LedgerDatabase& db, int fromVersion);

// The run a connection has begun and not yet committed or abandoned.
struct OpenRun {
    int64_t lngRunId = 0;
    QString strToken;        // unique, to find the run again after a lost reply
    int64_t lngLine = 0;     // the file line the per-line calls are about
};

// Inside the turn: writes the run's row and gives what the run's writes carry.
OpenRun RecordRunStart(LedgerDatabase& db, const ImportRunInfo& info);
void RecordRejectedLine(LedgerDatabase& db, const OpenRun& run, const RejectedLine& line);
// The totals and the end, just before the commit.
void RecordRunEnd(LedgerDatabase& db, const OpenRun& run, int32_t lngRead, int32_t lngImported);
// Whether a committed run carries token.
bool RunIsRecorded(LedgerDatabase& db, const QString& token);

std::optional<PriorRun> FindRunOfFile(LedgerDatabase& db, const QByteArray& sha256);

// The history over one engine's connection; the engine's class owns the
// connection and gives it through database().
class LedgerHistory : public clsLedgerHistory {
public:
    std::vector<RunSummary> Runs() override;
    std::optional<RunSummary> Run(int64_t lngRunId) override;
    std::optional<RunRejects> Rejects(int64_t lngRunId) override;
    UndoResult UndoRun(int64_t lngRunId, const std::function<void()>& whileWaiting) override;

protected:
    virtual LedgerDatabase& database() = 0;
};
