#pragma once

#include "LedgerServer.h"
#include "PostgresHandles.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Reaching the ledger on a PostgreSQL server: the connection with its
// session's settings, and the ledger's schema found, made or brought up to
// date under a lock, so that programs starting at once do it once.

// How long a lock held by another program is waited for before an
// operation fails, as the SQLite ledger waits for a busy file.
constexpr int kServerLockTimeoutMs = 3000;

// The server process that serves a connection, and when it started, so
// that another process given the same number later is left alone.
struct ServerBackend {
    int pid = 0;
    QByteArray started;
};

struct ReachedLedger {
    PgConnection connection;
    ServerBackend backend;
    QString where;  // the database, for messages
};

// What the ledger's schema was found to be.
enum class SchemaFinding { Ledger, Empty, Refused };

// Connects and checks the ledger: gives an empty schema the ledger's tables
// when create is set, brings an older ledger up to date, refuses anything
// else untouched. Nullopt when the ledger is usable; else the reason, with
// permanent set when asking again cannot help. finding tells what the
// schema held, when the server was reached; for a schema without a ledger
// the connection is kept in reached all the same.
std::optional<QString> ReachLedger(const LedgerServer& server, bool create, ReachedLedger& reached, bool& permanent,
                                   SchemaFinding* finding = nullptr);

// Whether the connection's user may import into the ledger (or, for a
// schema without one yet, make its tables there).
bool MayWriteLedger(PGconn* connection, SchemaFinding finding);

// Why a server refused a connection, as the clerk can act on it.
enum class ConnectFailure {
    HostNotFound,
    Refused,
    Timeout,
    NoPassword,
    WrongPassword,
    Certificate,
    NoDatabase,
    NoUser,
    NoPermission,
    Other
};

// Which failure libpq's and the server's words tell (in English or in
// Japanese), with what libpq knows of the password.
ConnectFailure ConnectFailureOf(const QByteArray& message, bool blnNeedsPassword, bool blnUsedPassword);

// One short prompt that says what to do, then the server's own words
// after kServerWordsMark, for a box's details.
QString ConnectFailurePrompt(ConnectFailure failure, const QString& strHost, const QString& strDatabase,
                             const QString& strUser);

// The server's refusal of a connection, in the user's words.
QString ConnectFailureText(PGconn* connection, const LedgerServer& server);

// Ends the server process that served a lost connection, if it is still
// there. False with the reason when it could not be ended.
bool EndBackend(PGconn* connection, const ServerBackend& backend, QString& reason);
