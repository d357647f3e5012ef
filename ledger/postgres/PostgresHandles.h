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

struct PgConninfoFreer {
    void operator()(PQconninfoOption* options) const noexcept { PQconninfoFree(options); }
};
using PgConninfoOptions = std::unique_ptr<PQconninfoOption, PgConninfoFreer>;

#include <QByteArray>

#include <optional>
#include <vector>

// Parameters of a statement in libpq's text format, kept alive until it has run.
class PgParameters {
public:
    PgParameters& text(const QByteArray& value)
    {
        m_values.emplace_back(value);
        return *this;
    }
    PgParameters& integer(long long value) { return text(QByteArray::number(value)); }
    // NULL for 0, the "none" of the records' IDs.
    PgParameters& idOrNull(long long id)
    {
        if (id == 0)
            m_values.emplace_back(std::nullopt);
        else
            integer(id);
        return *this;
    }

    int count() const { return int(m_values.size()); }
    std::vector<const char*> pointers() const
    {
        std::vector<const char*> pointers;
        for (const std::optional<QByteArray>& value : m_values)
            pointers.push_back(value ? value->constData() : nullptr);
        return pointers;
    }

private:
    std::vector<std::optional<QByteArray>> m_values;
};

// Runs sql with parameters on c.
inline PgResult RunWith(PGconn* c, const char* sql, const PgParameters& parameters)
{
    const std::vector<const char*> values = parameters.pointers();
    return PgResult(PQexecParams(c, sql, parameters.count(), nullptr, values.data(), nullptr, nullptr, 0));
}
