#include "PostgresLedgerDatabase.h"

#include <QByteArray>

#include <cstring>
#include <optional>
#include <utility>

QString PostgresTrimmed(const char* text) { return QString::fromUtf8(text ? text : "").simplified(); }

DatabaseFailure PostgresFailure(PGconn* c, const PGresult* result)
{
    if (PQstatus(c) != CONNECTION_OK)
        return DatabaseFailure(FailureKind::ConnectionLost, PostgresTrimmed(PQerrorMessage(c)));
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const QString message = result ? PostgresTrimmed(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY))
                                   : PostgresTrimmed(PQerrorMessage(c));
    const auto is = [&](const char* code) { return state && std::strcmp(state, code) == 0; };
    if (is("55P03"))
        return DatabaseFailure(FailureKind::Busy, message);
    if (is("53100"))
        return DatabaseFailure(FailureKind::Full, message);
    if (is("25006"))
        return DatabaseFailure(FailureKind::ReadOnly, message);
    if (is("42501"))
        return DatabaseFailure(FailureKind::NoPermission, message);
    if (is("53200"))
        return DatabaseFailure(FailureKind::OutOfMemory, message);
    return DatabaseFailure(FailureKind::Other, message);
}

PgResult PostgresLedgerDatabase::run(const char* sql, const std::vector<SqlValue>& parameters, ExecStatusType expected)
{
    auto found = m_statements.find(sql);
    if (found == m_statements.end()) {
        // ?1 becomes $1; the ledger's statements hold no ? of their own.
        std::string text(sql);
        for (char& c : text)
            if (c == '?')
                c = '$';
        found = m_statements.emplace(sql, std::move(text)).first;
    }
    std::vector<std::optional<QByteArray>> values;
    for (const SqlValue& value : parameters) {
        if (const auto* number = std::get_if<int64_t>(&value)) {
            values.emplace_back(QByteArray::number(qlonglong(*number)));
        } else if (const auto* text = std::get_if<QString>(&value)) {
            // libpq would cut the text short at a NUL.
            if (text->contains(QChar(u'\0')))
                throw DatabaseFailure(QStringLiteral("NUL 文字を含む名前や項目はデータベースに保存できません。"));
            values.emplace_back(text->toUtf8());
        } else {
            values.emplace_back(std::nullopt);
        }
    }
    std::vector<const char*> pointers;
    for (const auto& value : values)
        pointers.push_back(value ? value->constData() : nullptr);
    PgResult result(PQexecParams(m_connection, found->second.c_str(), int(pointers.size()), nullptr, pointers.data(),
                                 nullptr, nullptr, 0));
    if (!result || PQresultStatus(result.get()) != expected)
        throw PostgresFailure(m_connection, result.get());
    return result;
}

std::vector<SqlRow> PostgresLedgerDatabase::query(const char* sql, const std::vector<SqlValue>& parameters)
{
    sendKept(m_keeping);
    const PgResult result = run(sql, parameters, PGRES_TUPLES_OK);
    std::vector<SqlRow> rows;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        SqlRow values;
        for (int column = 0; column < PQnfields(result.get()); ++column) {
            if (PQgetisnull(result.get(), row, column))
                values.emplace_back(std::monostate());
            else
                values.emplace_back(TextFromUtf8(PQgetvalue(result.get(), row, column)));
        }
        rows.push_back(std::move(values));
    }
    return rows;
}

int64_t PostgresLedgerDatabase::execute(const char* sql, const std::vector<SqlValue>& parameters)
{
    if (m_keeping && parameters.empty()) {
        keep(sql);
        return 0;
    }
    // What was kept must be there before a statement that takes parameters.
    sendKept(m_keeping);
    const PgResult result = run(sql, parameters, PGRES_COMMAND_OK);
    return QByteArray(PQcmdTuples(result.get())).toLongLong();
}

bool PostgresLedgerDatabase::tryBeginTurn()
{
    execute("BEGIN");
    try {
        // "MORA" + 1, beside the lock that guards the schema's creation.
        const std::vector<SqlRow> taken =
            query("SELECT pg_try_advisory_xact_lock(1297044034, hashtext(coalesce(current_schema(), '')))");
        if (!taken.empty() && TextOf(taken.front().front()) == QLatin1String("t"))
            return true;
    } catch (...) {
        rollback();
        throw;
    }
    rollback();
    return false;
}

void PostgresLedgerDatabase::commit()
{
    PgResult result(PQexec(m_connection, "COMMIT"));
    // A transaction that had failed answers COMMIT with ROLLBACK.
    if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK
        || std::strcmp(PQcmdStatus(result.get()), "COMMIT") != 0) {
        const QString reason = result && PQresultStatus(result.get()) == PGRES_COMMAND_OK
                                   ? QStringLiteral("データベースの取引が途中で失敗していました。")
                                   : PostgresFailure(m_connection, result.get()).message();
        rollback();
        throw DatabaseFailure(reason);
    }
}

void PostgresLedgerDatabase::rollback() noexcept
{
    if (PQstatus(m_connection) == CONNECTION_OK && PQtransactionStatus(m_connection) != PQTRANS_IDLE)
        PgResult(PQexec(m_connection, "ROLLBACK"));
}

void PostgresLedgerDatabase::keep(const char* sql)
{
    m_kept += sql;
    if (!m_kept.endsWith(';'))
        m_kept += ';';
    m_kept += '\n';
}

void PostgresLedgerDatabase::sendKept(bool keepOn)
{
    m_keeping = keepOn;
    if (m_kept.isEmpty())
        return;
    const QByteArray block = "DO $ledger$ BEGIN\n" + std::exchange(m_kept, QByteArray()) + "END $ledger$";
    const PgResult result(PQexec(m_connection, block.constData()));
    if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK)
        throw PostgresFailure(m_connection, result.get());
}

void PostgresLedgerDatabase::setSchemaVersion(int version)
{
    if (m_keeping)
        return keep(QByteArray("UPDATE ledger_mark SET schema_version = " + QByteArray::number(version)
                               + " WHERE application = 'MoraImport'")
                        .constData());
    execute("UPDATE ledger_mark SET schema_version = ?1 WHERE application = 'MoraImport'", {int64_t(version)});
}

void PostgresLedgerDatabase::upgradeOwnSchema(int version)
{
    // The server checks every reference: removing a master row looks for
    // the trades that use it, and a run's undo finds its trades.
    if (version == 2) {
        for (const char* sql :
             {"CREATE INDEX trades_run ON trades(run_id)", "CREATE INDEX trades_product ON trades(product_id)",
              "CREATE INDEX trades_supplier ON trades(supplier_id)",
              "CREATE INDEX trades_customer ON trades(customer_id)",
              "CREATE INDEX products_kind ON products(kind_code)"})
            execute(sql);
    }
}
