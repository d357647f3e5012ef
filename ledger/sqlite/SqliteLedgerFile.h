#pragma once

#include "SqliteHandles.h"

#include <QString>

#include <cstdint>
#include <optional>

// The ledger's file on SQLite: found, judged, created whole or brought up
// to date before anyone writes to it, and set up for its work.

// Marks a database file as a ledger ("MORA").
constexpr int32_t kSqliteApplicationId = 0x4D4F5241;

// Opens the ledger at dataSource: an existing file only when it is a
// ledger, an absent one created when its folder exists. Never creates
// folders, and never writes to a file (or its journal) that is no ledger.
// Null with the reason when there is no ledger to be had.
SqliteDatabase OpenLedgerFile(const QString& dataSource, QString& error);

// Opens the ledger at dataSource read-only, to look at it: a ledger of
// this version only, nothing created, recovered or brought up to date.
// Null with the reason when there is none to look at; absent is set when
// there is no ledger there yet.
SqliteDatabase OpenLedgerFileToLook(const QString& dataSource, QString& error, bool& absent);

// Sets up a checked ledger connection for its work; the reason on failure.
std::optional<QString> ConfigureLedgerConnection(sqlite3* db);

// Totals are shown only for a run that is on the disk, so a run's commit
// syncs the log; once per file, which costs nothing to speak of. Set before
// the run begins, and back to the connection's own after it.
int SyncForRun(sqlite3* db, bool running);
