#pragma once

#include "clsLedgerHistory.h"
#include "clsLedgerStore.h"

#include <QString>

// The environment variable and the setting that name a ledger server.
inline constexpr char kLedgerServerVariable[] = "MORAIMPORT_LEDGER_SERVER";
inline constexpr char kLedgerServerSetting[] = "Ledger/Server";

// The libpq connection string or URI of the ledger server: the environment
// variable when it is set (set but empty keeps the SQLite ledger whatever
// the settings say), else the setting of the user or, failing that, of all
// users. Empty for the SQLite ledger under Data/.
QString ConfiguredLedgerServer();

// Makes the stores of the ledger the program is configured for.
LedgerStoreFactory ChooseLedgerStore();

// Opens the history of the same ledger: the SQLite one named by the
// connection string the window builds, or the configured server's (which
// ignores the string).
LedgerHistoryFactory ChooseLedgerHistory();
