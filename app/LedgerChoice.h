#pragma once

#include "LedgerPlace.h"
#include "LedgerServer.h"
#include "clsLedgerHistory.h"
#include "clsLedgerPatterns.h"
#include "clsLedgerStore.h"

#include <QString>

#include <functional>

// The environment variables and the settings that name a ledger server
// and the schema of its ledger.
inline constexpr char kLedgerServerVariable[] = "MORAIMPORT_LEDGER_SERVER";
inline constexpr char kLedgerServerSetting[] = "Ledger/Server";
inline constexpr char kLedgerSchemaVariable[] = "MORAIMPORT_LEDGER_SCHEMA";
inline constexpr char kLedgerSchemaSetting[] = "Ledger/Schema";

// How a server's password is had at each connection, given its connection
// string; empty leaves it to libpq (~/.pgpass).
using PasswordSource = std::function<QString(const QString& strConnection)>;

// The keyring's password; empty where the keyring has none or cannot be
// reached. The console's way, and the window's where a keyring answers.
PasswordSource KeyringPasswords();

// The ledger server: the environment variable when it is set (set but
// empty keeps the SQLite ledger whatever the settings say), with the schema
// of its own variable; else the settings of the user or, failing that, of
// all users. An empty strConnection means the SQLite ledger under Data/.
LedgerServer ConfiguredLedgerServer(const PasswordSource& passwords = KeyringPasswords());

// The server of the settings alone, as the ledger-place dialog shows it.
LedgerServer SettingsLedgerServer();

// The password of a server as each connection asks for it: from the
// keyring; empty where the keyring has none or cannot be reached, which
// leaves it to libpq (~/.pgpass).
std::function<QString()> KeyringPassword(const QString& strConnection);

// Makes the stores of the ledger the program is configured for.
LedgerStoreFactory ChooseLedgerStore(const PasswordSource& passwords = KeyringPasswords());

// Opens the history of the same ledger: the SQLite one named by the
// connection string the window builds, or the configured server's (which
// ignores the string).
LedgerHistoryFactory ChooseLedgerHistory(const PasswordSource& passwords = KeyringPasswords());
// The import patterns of the ledger of the moment.
LedgerPatternsFactory ChooseLedgerPatterns(const PasswordSource& passwords = KeyringPasswords());

// Which ledger the program works on now, as the window shows it; never a password.
LedgerInUse LedgerInUseNow();

// What tells one ledger place from another: this computer's ledger file,
// or the server's connection string and schema.
QString LedgerPlaceKey();
