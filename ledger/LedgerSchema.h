#pragma once

#include "LedgerDatabase.h"

#include <QString>

#include <cstdint>
#include <optional>

// The versions of the ledger's schema, and how an older one is brought up
// to date: the same on both engines.

// 1 kept trades alone; 2 keeps the runs that brought them; 3 undoes a run
// exactly (kinds it gave older products too) and follows the run, not the
// ledger, in its history and undo; 4 finds a master by the key of its name
// and a line's trade among the stored ones, and keeps what a run skipped; 5
// reads as one in a key the signs that code page 932 and UTF-8 write apart,
// and finds the lines skipped as a run's trades.
constexpr int kLedgerSchemaVersion = 6;

// Why a ledger marked with version cannot be used at place, or nothing
// when it can (after an upgrade when it is older).
std::optional<QString> VersionRefusal(int64_t version, const QString& place);

// Why a ledger of an earlier version cannot be looked at before an import
// has brought it up to date.
QString OlderVersionText(int64_t version, const QString& place);

// Brings a ledger of an earlier version to kLedgerSchemaVersion, inside the
// caller's transaction. Trades already there keep whatever run they had.
void UpgradeLedgerSchema(LedgerDatabase& db, int fromVersion);

// The reason for the user when an upgrade failed.
QString UpgradeRefusal(const QString& place, const QString& reason);
