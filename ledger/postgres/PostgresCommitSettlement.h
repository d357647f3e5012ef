#pragma once

#include "LedgerEngine.h"
#include "LedgerServer.h"
#include "PostgresConnection.h"

#include <QString>

// The commit of a run was sent and its reply lost: the server may have
// run it or not. Connects again, ends the server process of the lost
// connection if it is still there (it may yet be running the commit, or
// receive it late), and only then looks for the run's token, so that the
// answer is final. InDoubt, with the reason, when the server cannot be asked.
CommitOutcome SettleLostCommit(const LedgerServer& server, const ServerBackend& lost, const QString& token,
                               QString& reason);
