#pragma once

#include <QString>

#include <functional>

// Where a shared ledger lies: a PostgreSQL server, its database and the
// schema that holds the ledger's tables.
struct LedgerServer {
    // A libpq connection string or URI; holds no password.
    QString strConnection;
    // Fixed for the session whatever search_path says, so that a schema
    // named after the user can never hide the ledger.
    QString strSchema = QStringLiteral("public");
    // Asked at each connection; empty (or unset) leaves the password to
    // libpq (~/.pgpass, PGPASSWORD).
    std::function<QString()> password;
    // Only to look at the ledger: every session read-only, nothing created
    // or brought up to date.
    bool blnLookOnly = false;
};

#include <cstdint>

// What a look at a server's ledger found, for the one who sets it up.
struct LedgerServerCheck {
    // The ledger can be imported into (or will be made at the first import).
    bool blnReady = false;
    int64_t lngRuns = 0;  // the runs it holds, when ready
    // In Japanese: what is wrong (host not found, refused, wrong password,
    // certificate not trusted, not a ledger, no permission), or that it is ready.
    QString strText;
};

// Connects with the server's settings and looks at its ledger, changing nothing.
LedgerServerCheck CheckLedgerServer(const LedgerServer& server);
