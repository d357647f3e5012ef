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
};
