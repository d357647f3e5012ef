#pragma once

#include <libpq-fe.h>

#include <memory>

// Owners for libpq's handles.

struct PgConnectionCloser {
    void operator()(PGconn* connection) const noexcept { PQfinish(connection); }
};
using PgConnection = std::unique_ptr<PGconn, PgConnectionCloser>;

struct PgResultClearer {
    void operator()(PGresult* result) const noexcept { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, PgResultClearer>;
