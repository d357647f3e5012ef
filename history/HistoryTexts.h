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
