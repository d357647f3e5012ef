#pragma once

#include "clsLedgerHistory.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// What the command line and the history window both say of runs.

// The refused lines of a run as a file of their own: the header line, then
// each refused record as the file had it, in UTF-8 with CR LF and a
// byte-order mark, so that a spreadsheet opens it as UTF-8 and the
// corrected lines import like any file.
QByteArray RejectsFileContent(const RunRejects& rejects);

QString UndoneText(int64_t lngRunId, int64_t lngTrades);
QString UnknownRunText(const QString& strRun);
QString AlreadyUndoneText(int64_t lngRunId);
// Why an undo was refused: the later runs that counted its trades as their lines.
QString ReliedOnText(const std::vector<clsLedgerHistory::RelyingRun>& runs);

// 製品, 仕入先, 販売先 or 種別, for a master table's name.
QString MasterText(const QString& strMaster);
// Who made a run: the user, and the computer in brackets.
QString RunByText(const RunSummary& run);
// The undo's question, with what the undo would take out.
QString UndoQuestionText(const RunSummary& run, int64_t lngTrades);
// Beneath it: the names that would go with the trades; empty when none would.
QString UndoNamesText(const clsLedgerHistory::UndoResult& preview);
