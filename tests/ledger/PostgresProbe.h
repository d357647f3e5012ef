#pragma once

#include "LedgerDatabase.h"

#include "PostgresHandles.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <stdexcept>
#include <string>

// A connection of the tests' own to the PostgreSQL server that the suite
// runs beside (libpq's PG... variables name it), for setting up schemas and
// reading back what a store wrote. Connects again after the server went away.
class PostgresProbe {
public:
    explicit PostgresProbe(QString server = QString()) : m_server(std::move(server)) { connect(); }

    void exec(const QString& sql)
    {
        const PgResult result = run(sql);
        const ExecStatusType status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw std::runtime_error(failure(result.get(), sql));
    }

    // Every row, its columns joined with '|', NULL written as "NULL".
    QStringList rows(const QString& sql)
    {
        const PgResult result = run(sql);
        if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
            throw std::runtime_error(failure(result.get(), sql));
        QStringList all;
        for (int row = 0; row < PQntuples(result.get()); ++row) {
            QStringList columns;
            for (int column = 0; column < PQnfields(result.get()); ++column)
                columns << (PQgetisnull(result.get(), row, column)
                                ? QStringLiteral("NULL")
                                : TextFromUtf8(PQgetvalue(result.get(), row, column)));
            all << columns.join(QLatin1Char('|'));
        }
        return all;
    }

    QString value(const QString& sql)
    {
        const QStringList all = rows(sql);
        return all.isEmpty() ? QString() : all.first();
    }
    long long number(const QString& sql) { return value(sql).toLongLong(); }

private:
    void connect()
    {
        m_connection.reset(PQconnectdb(m_server.toUtf8().constData()));
        if (PQstatus(m_connection.get()) != CONNECTION_OK)
            throw std::runtime_error(std::string("no PostgreSQL server for the tests (run them under pg_virtualenv): ")
                                     + PQerrorMessage(m_connection.get()));
    }

    PgResult run(const QString& sql)
    {
        if (PQstatus(m_connection.get()) != CONNECTION_OK)
            connect();
        PgResult result(PQexec(m_connection.get(), sql.toUtf8().constData()));
        if (PQstatus(m_connection.get()) != CONNECTION_OK) {
            connect();
            result.reset(PQexec(m_connection.get(), sql.toUtf8().constData()));
        }
        return result;
    }

    std::string failure(const PGresult* result, const QString& sql) const
    {
        return std::string(result ? PQresultErrorMessage(result) : PQerrorMessage(m_connection.get())) + " in "
               + sql.toStdString();
    }

    QString m_server;
    PgConnection m_connection;
};
