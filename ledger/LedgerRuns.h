#pragma once

#include "LedgerDatabase.h"
#include "clsLedgerStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// The record of every run with its refused lines, written once for both
// engines. Everything here throws DatabaseFailure.

// Times are kept as ISO 8601 texts in UTC, alike in both engines.
QString LedgerNow();
QDateTime LocalTimeOf(const SqlValue& value);

// The run a connection has begun and not yet committed or abandoned.
struct OpenRun {
    int64_t lngRunId = 0;
    QString strToken;     // unique, to find the run again after a lost reply
    int64_t lngLine = 0;  // the file line the per-line calls are about
};

// Inside the turn: writes the run's row and gives what the run's writes carry.
OpenRun RecordRunStart(LedgerDatabase& db, const ImportRunInfo& info);
void RecordRejectedLine(LedgerDatabase& db, const OpenRun& run, const RejectedLine& line);
void RecordSkippedLine(LedgerDatabase& db, const OpenRun& run, int64_t lngLineNumber, const LedgerMatch& match);
// The names the run matched to masters written another way: where the
// table is "products", "suppliers", "customers" or "kinds".
struct MatchedName {
    const char* table;
    QString strName;
    int64_t lngMasterId;
};
void RecordMatchedNames(LedgerDatabase& db, const OpenRun& run, const std::vector<MatchedName>& names);
// The totals and the end, just before the commit.
void RecordRunEnd(LedgerDatabase& db, const OpenRun& run, int32_t lngRead, int32_t lngImported, int32_t lngSkipped);
// Whether a committed run carries token.
bool RunIsRecorded(LedgerDatabase& db, const QString& token);

std::optional<PriorRun> FindRunOfFile(LedgerDatabase& db, const QByteArray& sha256);
