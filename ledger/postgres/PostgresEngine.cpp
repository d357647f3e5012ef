#include "PostgresEngine.h"

#include "PostgresCommitSettlement.h"

#include <QHash>

#include <array>
#include <cstring>
#include <utility>

namespace {

struct TableSql {
    const char* find;  // $1 the keys; answers each key's place and its masters, oldest first
    const char* add;   // $1 the names, then the fields, then the run; answers the names and IDs added
    const char* exists;
    int fields;
};

// In the order of MasterTable.
constexpr std::array<TableSql, kMasterTables.size()> kTableSql = {{
    {"SELECT n.i, t.kind_code, t.name, false FROM unnest($1::text[]) WITH ORDINALITY AS n(k, i)"
     " JOIN kinds t ON t.name_key = n.k ORDER BY n.i, t.kind_code",
     "INSERT INTO kinds(name, name_key, run_id) SELECT r.name, r.name_key, $3::bigint"
     " FROM unnest($1::text[], $2::text[]) AS r(name, name_key) ON CONFLICT (name) DO NOTHING RETURNING name, "
     "kind_code",
     "SELECT 1 FROM kinds WHERE kind_code = $1", 0},
    {"SELECT n.i, t.product_id, t.name, t.kind_code IS NOT NULL FROM unnest($1::text[]) WITH ORDINALITY AS n(k, i)"
     " JOIN products t ON t.name_key = n.k ORDER BY n.i, t.product_id",
     "INSERT INTO products(name, name_key, maker, reading, model, spec, run_id)"
     " SELECT r.name, r.name_key, r.maker, r.reading, r.model, r.spec, $7::bigint"
     " FROM unnest($1::text[], $2::text[], $3::text[], $4::text[], $5::text[], $6::text[])"
     " AS r(name, name_key, maker, reading, model, spec) ON CONFLICT (name) DO NOTHING RETURNING name, product_id",
     "SELECT 1 FROM products WHERE product_id = $1", 4},
    {"SELECT n.i, t.supplier_id, t.name, false FROM unnest($1::text[]) WITH ORDINALITY AS n(k, i)"
     " JOIN suppliers t ON t.name_key = n.k ORDER BY n.i, t.supplier_id",
     "INSERT INTO suppliers(name, name_key, reading, run_id) SELECT r.name, r.name_key, r.reading, $4::bigint"
     " FROM unnest($1::text[], $2::text[], $3::text[]) AS r(name, name_key, reading)"
     " ON CONFLICT (name) DO NOTHING RETURNING name, supplier_id",
     "SELECT 1 FROM suppliers WHERE supplier_id = $1", 1},
    {"SELECT n.i, t.customer_id, t.name, false FROM unnest($1::text[]) WITH ORDINALITY AS n(k, i)"
     " JOIN customers t ON t.name_key = n.k ORDER BY n.i, t.customer_id",
     "INSERT INTO customers(name, name_key, reading, run_id) SELECT r.name, r.name_key, r.reading, $4::bigint"
     " FROM unnest($1::text[], $2::text[], $3::text[]) AS r(name, name_key, reading)"
     " ON CONFLICT (name) DO NOTHING RETURNING name, customer_id",
     "SELECT 1 FROM customers WHERE customer_id = $1", 1},
}};

// The trades of days and times, quantities and unit prices (their index), as the look compares them.
constexpr const char* kFindTradesSql =
    "SELECT t.trade_id, coalesce(t.run_id, 0), coalesce(t.line_number, 0), t.trade_kind,"
    " to_char(t.trade_date, CASE WHEN t.trade_date::time = '00:00' THEN 'YYYY-MM-DD' ELSE 'YYYY-MM-DD HH24:MI:SS' END),"
    " t.product_id, coalesce(CASE t.trade_kind WHEN 0 THEN t.supplier_id ELSE t.customer_id END, 0),"
    " t.quantity, t.unit_price FROM (SELECT DISTINCT * FROM unnest($1::timestamp[], $2::bigint[], $3::bigint[]))"
    " AS p(day, quantity, unit_price) JOIN trades t ON t.trade_date = p.day AND t.quantity = p.quantity"
    " AND t.unit_price = p.unit_price ORDER BY t.trade_id";

// A run's trades go in by COPY, many at a time, in its text format: every
// column a number or a date, so nothing needs escaping.
constexpr const char* kCopyTradesSql =
    "COPY trades(trade_kind, trade_date, product_id, supplier_id, customer_id, quantity, unit_price, amount,"
    " run_id, line_number) FROM STDIN";

// The kind code goes onto a product that has none; a code that names no
// kind is left out.
constexpr const char* kGiveKindsSql =
    "UPDATE products SET kind_code = v.k, kind_run_id = $3::bigint FROM unnest($1::integer[], $2::integer[]) AS v(p, k)"
    " WHERE products.product_id = v.p AND products.kind_code IS NULL"
    " AND EXISTS (SELECT 1 FROM kinds WHERE kinds.kind_code = v.k)";

// Texts as an array literal of the server's text format.
QByteArray TextArray(const std::vector<QString>& texts)
{
    QByteArray array("{");
    for (const QString& text : texts) {
        if (array.size() > 1)
            array += ',';
        array += '"';
        for (const char c : text.toUtf8()) {
            if (c == '"' || c == '\\')
                array += '\\';
            array += c;
        }
        array += '"';
    }
    return array + '}';
}

}  // namespace

// One connection to the server, and the writes queued for it.
struct PostgresEngine::Session {
    PgConnection connection;
    ServerBackend backend;
    PostgresLedgerDatabase ledger;
    // Trades not yet sent, as COPY text lines, and kinds for their products.
    QByteArray pendingTrades;
    int pendingCount = 0;
    QByteArray pendingKindProducts;
    QByteArray pendingKindCodes;
    int64_t kindRun = 0;

    explicit Session(ReachedLedger reached)
        : connection(std::move(reached.connection)), backend(std::move(reached.backend)), ledger(connection.get())
    {
    }

    bool alive() const { return PQstatus(connection.get()) == CONNECTION_OK; }
};

PostgresEngine::PostgresEngine(LedgerServer server, std::function<bool()> dropsCommitReply)
    : m_server(std::move(server)), m_dropsCommitReply(std::move(dropsCommitReply))
{
}

PostgresEngine::PostgresEngine(LedgerServer server, ReachedLedger reached)
    : m_server(std::move(server)), m_session(std::make_unique<Session>(std::move(reached))), m_connections(1)
{
}

PostgresEngine::~PostgresEngine()
{
    if (m_session)
        m_session->ledger.rollback();
}

LedgerDatabase& PostgresEngine::database()
{
    if (m_session)
        return m_session->ledger;
    return m_offline;
}

bool PostgresEngine::ready(bool runOpen, QString& reason)
{
    if (m_session && m_session->alive())
        return true;
    if (m_session && runOpen) {
        // A new connection would hold none of the run's writes.
        reason = PostgresFailure(m_session->connection.get(), nullptr).message();
        return false;
    }
    if (!m_refusal.isEmpty()) {
        reason = NotConnectedText(m_refusal);
        return false;
    }
    // A session that was working is tried again at once; a server that
    // could not be reached is left alone for a moment.
    if (!m_session && std::chrono::steady_clock::now() < m_nextAttempt) {
        reason = m_lastConnectError;
        return false;
    }
    m_session.reset();
    ReachedLedger reached;
    bool permanent = false;
    if (auto refused = ReachLedger(m_server, !m_server.blnLookOnly, reached, permanent)) {
        reason = *refused;
        if (permanent)
            m_refusal = reason;
        m_lastConnectError = reason;
        m_nextAttempt = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReconnectPauseMs);
        return false;
    }
    m_session = std::make_unique<Session>(std::move(reached));
    ++m_connections;
    return true;
}

PGconn* PostgresEngine::live()
{
    if (!m_session)
        throw DatabaseFailure(FailureKind::ConnectionLost, m_lastConnectError);
    return m_session->connection.get();
}

PgResult PostgresEngine::run(const char* sql, const PgParameters& parameters, ExecStatusType status)
{
    PGconn* c = live();
    PgResult result = RunWith(c, sql, parameters);
    if (!result || PQresultStatus(result.get()) != status)
        throw PostgresFailure(c, result.get());
    return result;
}

std::vector<KeyMasters> PostgresEngine::findMasters(MasterTable table, const std::vector<QString>& keys)
{
    const PgResult result =
        run(kTableSql[std::size_t(table)].find, PgParameters().text(TextArray(keys)), PGRES_TUPLES_OK);
    std::vector<KeyMasters> found(keys.size());
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        const long long place = QByteArray(PQgetvalue(result.get(), row, 0)).toLongLong();
        if (place < 1 || std::size_t(place) > found.size())
            continue;
        found[std::size_t(place - 1)].push_back(FoundMaster{QByteArray(PQgetvalue(result.get(), row, 1)).toLongLong(),
                                                            TextFromUtf8(PQgetvalue(result.get(), row, 2)),
                                                            PQgetvalue(result.get(), row, 3)[0] == 't'});
    }
    return found;
}

std::vector<KeyMasters> PostgresEngine::addMasters(MasterTable table, const std::vector<MasterRow>& rows, int64_t runId)
{
    const TableSql& sql = kTableSql[std::size_t(table)];
    std::vector<QString> names;
    std::vector<QString> keys;
    std::vector<std::vector<QString>> fields(std::size_t(sql.fields));
    for (const MasterRow& row : rows) {
        names.push_back(row.strName);
        keys.push_back(row.strKey);
        for (int field = 0; field < sql.fields; ++field)
            fields[std::size_t(field)].push_back(row.fields.value(field));
    }
    PgParameters parameters;
    parameters.text(TextArray(names)).text(TextArray(keys));
    for (const std::vector<QString>& column : fields)
        parameters.text(TextArray(column));
    parameters.idOrNull(runId);
    const PgResult result = run(sql.add, parameters, PGRES_TUPLES_OK);
    QHash<QString, int64_t> added;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        added.insert(TextFromUtf8(PQgetvalue(result.get(), row, 0)),
                     QByteArray(PQgetvalue(result.get(), row, 1)).toLongLong());
    std::vector<KeyMasters> masters(names.size());
    std::vector<QString> takenMeanwhile;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (const int64_t id = added.value(names[i], 0))
            masters[i].push_back(FoundMaster{id, names[i], false, true});
        else
            takenMeanwhile.push_back(keys[i]);
    }
    // Another program added these at the same moment: the server kept its row.
    if (!takenMeanwhile.empty()) {
        std::vector<KeyMasters> stored = findMasters(table, takenMeanwhile);
        for (std::size_t i = 0, j = 0; i < masters.size(); ++i) {
            if (masters[i].empty())
                masters[i] = std::move(stored[j++]);
        }
    }
    return masters;
}

std::vector<StoredTrade> PostgresEngine::findTrades(const std::vector<TradeProbe>& probes)
{
    QByteArray days("{");
    QByteArray quantities("{");
    QByteArray unitPrices("{");
    for (const TradeProbe& probe : probes) {
        if (days.size() > 1) {
            days += ',';
            quantities += ',';
            unitPrices += ',';
        }
        days += '"' + probe.strDate + '"';
        quantities += QByteArray::number(probe.lngQuantity);
        unitPrices += QByteArray::number(probe.lngUnitPrice);
    }
    const PgResult result = run(
        kFindTradesSql, PgParameters().text(days + '}').text(quantities + '}').text(unitPrices + '}'), PGRES_TUPLES_OK);
    std::vector<StoredTrade> trades;
    const auto number = [&](int row, int column) {
        return QByteArray(PQgetvalue(result.get(), row, column)).toLongLong();
    };
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        StoredTrade trade;
        trade.lngTradeId = number(row, 0);
        trade.lngRunId = number(row, 1);
        trade.lngLineNumber = number(row, 2);
        trade.intKind = int32_t(number(row, 3));
        trade.strDate = QByteArray(PQgetvalue(result.get(), row, 4));
        trade.lngProductId = int32_t(number(row, 5));
        trade.lngPartyId = int32_t(number(row, 6));
        trade.lngQuantity = number(row, 7);
        trade.lngUnitPrice = number(row, 8);
        trades.push_back(std::move(trade));
    }
    return trades;
}

bool PostgresEngine::masterExists(MasterTable table, int32_t id)
{
    const PgResult result = run(kTableSql[std::size_t(table)].exists, PgParameters().integer(id), PGRES_TUPLES_OK);
    return PQntuples(result.get()) > 0;
}

void PostgresEngine::writeTrade(const TradeRow& trade)
{
    live();
    QByteArray& rows = m_session->pendingTrades;
    const auto field = [&](int64_t value, bool nullWhenZero) {
        rows += '\t';
        if (nullWhenZero && value == 0)
            rows += "\\N";
        else
            rows += QByteArray::number(qlonglong(value));
    };
    rows += QByteArray::number(trade.intKind);
    rows += '\t';
    rows.append(trade.date, qsizetype(trade.dateLength));
    field(trade.lngProductId, false);
    field(trade.lngSupplierId, true);
    field(trade.lngCustomerId, true);
    field(trade.lngQuantity, false);
    field(trade.lngUnitPrice, false);
    field(trade.lngAmount, false);
    field(trade.lngRunId, true);
    field(trade.lngLineNumber, true);
    rows += '\n';
    if (++m_session->pendingCount >= kTradeBatch && trade.lngRunId != 0)
        flush();
}

void PostgresEngine::giveKind(int32_t productId, int32_t kindCode, int64_t runId)
{
    live();
    Session& session = *m_session;
    session.pendingKindProducts += (session.pendingKindProducts.isEmpty() ? "{" : ",") + QByteArray::number(productId);
    session.pendingKindCodes += (session.pendingKindCodes.isEmpty() ? "{" : ",") + QByteArray::number(kindCode);
    session.kindRun = runId;
}

void PostgresEngine::flush()
{
    PGconn* c = live();
    Session& session = *m_session;
    if (!session.pendingKindProducts.isEmpty()) {
        PgParameters arrays;
        arrays.text(session.pendingKindProducts + '}').text(session.pendingKindCodes + '}').idOrNull(session.kindRun);
        session.pendingKindProducts.clear();
        session.pendingKindCodes.clear();
        run(kGiveKindsSql, arrays, PGRES_COMMAND_OK);
    }
    if (session.pendingCount == 0)
        return;
    const QByteArray rows = std::exchange(session.pendingTrades, QByteArray());
    session.pendingCount = 0;
    if (const PgResult start(PQexec(c, kCopyTradesSql)); !start || PQresultStatus(start.get()) != PGRES_COPY_IN)
        throw PostgresFailure(c, start.get());
    const bool sent = PQputCopyData(c, rows.constData(), int(rows.size())) == 1;
    const bool ended = PQputCopyEnd(c, sent ? nullptr : "not sent") == 1;
    PgResult last;
    while (PgResult next{PQgetResult(c)})
        last = std::move(next);
    if (sent && ended && last && PQresultStatus(last.get()) == PGRES_COMMAND_OK)
        return;
    // Someone else removed a row the trades name since it was checked.
    if (last && PQresultErrorField(last.get(), PG_DIAG_CONSTRAINT_NAME))
        throw ReferenceGone(PostgresFailure(c, last.get()).message());
    throw PostgresFailure(c, last.get());
}

void PostgresEngine::discardQueued() noexcept
{
    if (!m_session)
        return;
    m_session->pendingTrades.clear();
    m_session->pendingCount = 0;
    m_session->pendingKindProducts.clear();
    m_session->pendingKindCodes.clear();
}

void PostgresEngine::beginLoneWrite() { run("BEGIN", PgParameters(), PGRES_COMMAND_OK); }

void PostgresEngine::commitLoneWrite()
{
    live();
    m_session->ledger.commit();
}

bool PostgresEngine::transactionIntact()
{
    return m_session && m_session->alive() && PQtransactionStatus(m_session->connection.get()) == PQTRANS_INTRANS;
}

CommitOutcome PostgresEngine::commitRun(const QString& token, QString& reason)
{
    PGconn* c = live();
    PgResult result(PQexec(c, "COMMIT"));
    if (result && m_dropsCommitReply && m_dropsCommitReply())
        result.reset();
    if (result && PQresultStatus(result.get()) == PGRES_COMMAND_OK
        && std::strcmp(PQcmdStatus(result.get()), "COMMIT") == 0)
        return CommitOutcome::Committed;
    if (result && m_session->alive()) {
        // The server answered: the run did not go in.
        reason = PQresultStatus(result.get()) == PGRES_COMMAND_OK
                     ? QStringLiteral("データベースの取引が途中で失敗していました。")
                     : PostgresFailure(c, result.get()).message();
        m_session->ledger.rollback();
        return CommitOutcome::NotCommitted;
    }
    // The commit was sent and its answer lost: the server may hold the run.
    const ServerBackend lost = m_session->backend;
    m_session.reset();
    return SettleLostCommit(m_server, lost, token, reason);
}
