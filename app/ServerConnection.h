#pragma once

#include "LedgerPlace.h"

#include <QString>

// A ledger server's libpq connection string (key=value pairs or a URI),
// as the ledger-place dialog edits it.

// The place a connection string names; an empty string names this computer.
// What the dialog has no field for is left out, a password too.
LedgerPlace PlaceOfConnection(const QString& strConnection, const QString& strSchema);

// The connection string of a server's place, empty for this computer. The
// keys of strKeptFrom that the dialog has no field for are kept (a time-out
// an administrator set), but never a password.
QString ConnectionOfPlace(const LedgerPlace& place, const QString& strKeptFrom = QString());

// What the keyring knows a server's password by: its service, or its host,
// port, database and user. Empty when the string cannot be read.
QString PasswordKey(const QString& strConnection);

// Which ledger a server's place is, shortly (サーバー ledger.example の
// orvanta) and in full, with its port, schema and user; never a password.
QString ShortPlaceText(const LedgerPlace& place);
QString FullPlaceText(const LedgerPlace& place);

// What a server answers a connection given this password (empty: libpq's
// own ways, ~/.pgpass).
enum class PasswordAnswer { Accepted, Missing, Wrong, Other };
PasswordAnswer TryPassword(const QString& strConnection, const QString& strPassword);
