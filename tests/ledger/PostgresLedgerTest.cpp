#include "ImportFixtures.h"
#include "LedgerUnderTest.h"
#include "RecordingDesktop.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace fixtures;

// How a store left its flag and text after one call.
struct Outcome {
    bool failed = false;
    QString error;
};

Outcome Open(clsLedgerStore& store)
{
    Outcome outcome{true, QStringLiteral("stale")};
    store.OpenConnection(PostgresLedger::connection(), outcome.error, outcome.failed);
    return outcome;
}

Outcome Resolve(clsLedgerStore& store, const QString& name, ProductRecord& product)
{
    Outcome outcome{false, QStringLiteral("stale")};
    store.ResolveProduct(name, product, outcome.error, outcome.failed);
    return outcome;
}

// A sales file of `lines` lines over a few products and customers that
// other files share; each line's quantity is unique over all files.
QString SalesLines(int file, int lines)
{
    QStringList text{kSalesHeader};
    for (int line = 0; line < lines; ++line) {
        const int product = (line * 7 + file) % 12;
        const int customer = (line * 3 + file) % 5;
        text << QStringLiteral("2024/5/%1,種別%2,メーカー,よみ,製品%3,M-%3,,%4,100,とくいさき,得意先%5")
                    .arg(1 + line % 28)
                    .arg(product % 4)
                    .arg(product)
                    .arg(file * 10000 + line + 1)
                    .arg(customer);
    }
    return Lines(text);
}

// The run's imported count, read back from its totals message.
int ImportedCount(const RecordingDesktop& desktop)
{
    const QStringList prompts = desktop.prompts();
    if (prompts.isEmpty())
        return -1;
    const QString last = prompts.last();
    const qsizetype middle = last.indexOf(QStringLiteral("件中 "));
    return middle < 0 ? -1 : last.mid(middle + 3).section(QLatin1Char(' '), 0, 0).toInt();
}

// A store whose network loses the reply to the next commit after the
// server has run it; `whenLost` may also take the server away.
class ReplyLosingStore : public PostgresLedgerStore {
public:
    using PostgresLedgerStore::PostgresLedgerStore;
    std::function<void()> whenLost;

protected:
    bool dropsCommitReply() override
    {
        if (whenLost)
            whenLost();
        return true;
    }
};

// A run of one trade on a store whose commit's reply is lost.
struct LosingRun {
    PostgresLedger db;
    ReplyLosingStore store{db.server()};

    Outcome run()
    {
        Outcome outcome = Open(store);
        EXPECT_FALSE(outcome.failed) << outcome.error.toStdString();
        store.BeginRun(ImportRunInfo{}, {}, outcome.error, outcome.failed);
        EXPECT_FALSE(outcome.failed) << outcome.error.toStdString();
        ProductRecord product;
        PartyRecord supplier;
        PartyRecord customer;
        TradeRecord trade;
        EXPECT_FALSE(Resolve(store, QStringLiteral("液晶モニター"), product).failed);
        trade.lngProductID = product.lngProductID;
        trade.dtmTradeDate = 45296.0;
        store.InsertTrade(product, supplier, customer, trade, true, outcome.error, outcome.failed);
        EXPECT_FALSE(outcome.failed) << outcome.error.toStdString();
        store.CommitRun(1, 1, outcome.error, outcome.failed);
        return outcome;
    }
};

// Points libpq's variables at a port where nothing listens until dropped.
class UnreachableServer {
public:
    UnreachableServer() : m_port(qgetenv("PGPORT")) { qputenv("PGPORT", "1"); }
    ~UnreachableServer() { m_port.isNull() ? qunsetenv("PGPORT") : qputenv("PGPORT", m_port); }
    UnreachableServer(const UnreachableServer&) = delete;
    UnreachableServer& operator=(const UnreachableServer&) = delete;

private:
    QByteArray m_port;
};

}  // namespace

TEST(PostgresLedgerOpen, ASchemaWithOtherTablesIsRefusedUntouchedAndSaysWhyOnce)
{
    PostgresLedger ledger;
    ledger.exec(QStringLiteral("CREATE TABLE inventory(item text); INSERT INTO inventory VALUES ('棚卸')"));
    PostgresLedgerStore store(ledger.server());
    testing::internal::CaptureStderr();
    const Outcome opened = Open(store);
    ProductRecord product;
    std::vector<Outcome> later;
    for (int i = 0; i < 3; ++i)
        later.push_back(Resolve(store, QStringLiteral("液晶モニター"), product));
    const QStringList written = CapturedStderrLines();

    EXPECT_TRUE(opened.failed);
    EXPECT_TRUE(opened.error.contains(QStringLiteral("台帳データベースではありません"))) << opened.error.toStdString();
    for (const Outcome& outcome : later) {
        EXPECT_TRUE(outcome.failed);
        EXPECT_TRUE(outcome.error.contains(QStringLiteral("台帳データベースではありません")));
    }
    EXPECT_EQ(ledger.tables(), QStringLiteral("inventory"));
    EXPECT_EQ(ledger.rows(QStringLiteral("SELECT * FROM inventory")), QStringList{"棚卸"});
    EXPECT_EQ(written.filter(QStringLiteral("MoraImport: 台帳: ") + opened.error).size(), 1)
        << written.join(u'\n').toStdString();
    // What every later call says follows from it, and is not written again.
    EXPECT_EQ(written.size(), 1) << written.join(u'\n').toStdString();
}

TEST(PostgresLedgerOpen, ALedgerOfANewerOrUnknownVersionIsRefused)
{
    PostgresLedger ledger;
    {
        PostgresLedgerStore creator(ledger.server());
        ASSERT_FALSE(Open(creator).failed);
    }
    ledger.exec(
        QStringLiteral("UPDATE ledger_mark SET schema_version = %1").arg(PostgresLedgerStore::kSchemaVersion + 1));
    PostgresLedgerStore store(ledger.server());
    Outcome opened = Open(store);
    EXPECT_TRUE(opened.failed);
    EXPECT_TRUE(opened.error.contains(QStringLiteral("新しい版"))) << opened.error.toStdString();

    ledger.exec(QStringLiteral("DELETE FROM ledger_mark"));
    opened = Open(store);
    EXPECT_TRUE(opened.failed);
    EXPECT_TRUE(opened.error.contains(QStringLiteral("版が正しくありません"))) << opened.error.toStdString();
    EXPECT_EQ(ledger.number(QStringLiteral("SELECT count(*) FROM trades")), 0);
}

TEST(PostgresLedgerOpen, AnUnreachableServerFailsAtOnceAndIsAskedAgainAfterAPause)
{
    // Nothing listens on port 1.
    PostgresLedgerStore store(LedgerServer{QStringLiteral("host=127.0.0.1 port=1 dbname=ledger"), {}, {}});
    testing::internal::CaptureStderr();
    const Outcome opened = Open(store);
    ProductRecord product;
    product.lngProductID = 7;
    const Outcome next = Resolve(store, QStringLiteral("液晶モニター"), product);
    const QStringList written = CapturedStderrLines();
    EXPECT_TRUE(opened.failed);
    EXPECT_TRUE(opened.error.contains(QStringLiteral("接続できません"))) << opened.error.toStdString();
    EXPECT_TRUE(next.failed);
    EXPECT_EQ(next.error, opened.error);
    EXPECT_EQ(product.lngProductID, 0);
    EXPECT_EQ(written.filter(QStringLiteral("接続できません")).size(), 1) << written.join(u'\n').toStdString();
    EXPECT_EQ(store.GetKindCode(QStringLiteral("モニター")), 0);
}

TEST(PostgresLedgerOpen, TheConnectionStringWinsOverTheStoresDefaults)
{
    PostgresLedger ledger;
    const auto applications = [&] {
        return ledger.rows(QStringLiteral("SELECT application_name FROM pg_stat_activity"
                                          " WHERE application_name LIKE 'MoraImport%' ORDER BY 1"));
    };
    PostgresLedgerStore plain(ledger.server());
    ASSERT_FALSE(Open(plain).failed);
    LedgerServer server = ledger.server();
    server.strConnection = QStringLiteral("application_name=MoraImport-desk2 connect_timeout=2");
    PostgresLedgerStore named(server);
    ASSERT_FALSE(Open(named).failed);
    EXPECT_EQ(applications(), QStringList({"MoraImport", "MoraImport-desk2"}));
}

TEST(PostgresLedgerOpen, TheLedgerIsInItsOwnSchemaWhateverSchemaComesFirstOnTheUsersPath)
{
    PostgresLedger ledger;
    // PostgreSQL's default path searches a schema named after the user first.
    PostgresProbe admin;
    admin.exec(QStringLiteral("CREATE SCHEMA \"$user_shadow\""));
    admin.exec(QStringLiteral("ALTER ROLE CURRENT_USER SET search_path = \"$user_shadow\", public"));
    Outcome opened;
    {
        PostgresLedgerStore store(ledger.server());
        opened = Open(store);
        ProductRecord product;
        Resolve(store, QStringLiteral("液晶モニター"), product);
    }
    admin.exec(QStringLiteral("ALTER ROLE CURRENT_USER RESET search_path"));
    const QString shadowTables = admin.value(
        QStringLiteral("SELECT count(*) FROM pg_class WHERE relnamespace = '\"$user_shadow\"'::regnamespace"));
    admin.exec(QStringLiteral("DROP SCHEMA \"$user_shadow\" CASCADE"));
    ASSERT_FALSE(opened.failed) << opened.error.toStdString();
    EXPECT_EQ(shadowTables, QStringLiteral("0"));
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT name FROM products")), QStringLiteral("液晶モニター"));

    PostgresLedgerStore missing(LedgerServer{QString(), QStringLiteral("no such schema"), {}});
    opened = Open(missing);
    EXPECT_TRUE(opened.failed);
    EXPECT_TRUE(opened.error.contains(QStringLiteral("台帳のスキーマ「no such schema」がありません")))
        << opened.error.toStdString();
}

// A temporary schema's tables go with the connection; a system schema's
// are the server's own. Refused before anything is written, dialog's check too.
TEST(PostgresLedgerOpen, OnlyAnOrdinarySchemaCanHoldTheLedger)
{
    for (const char* schema :
         {"pg_temp", "pg_temp_3", "pg_toast", "pg_toast_temp_1", "pg_catalog", "pg_ledger", "information_schema"}) {
        SCOPED_TRACE(schema);
        const LedgerServer server{QString(), QString::fromLatin1(schema), {}};
        PostgresLedgerStore store(server);
        testing::internal::CaptureStderr();
        const Outcome opened = Open(store);
        const QStringList written = CapturedStderrLines();
        EXPECT_TRUE(opened.failed);
        EXPECT_TRUE(opened.error.startsWith(QStringLiteral("台帳のスキーマ「%1」には台帳を置けません").arg(schema)))
            << opened.error.toStdString();
        EXPECT_EQ(written, QStringList{QStringLiteral("MoraImport: 台帳: ") + opened.error});
        const LedgerServerCheck check = CheckLedgerServer(server);
        EXPECT_FALSE(check.blnReady);
        EXPECT_EQ(check.strText, opened.error);
    }
    PostgresProbe admin;
    EXPECT_EQ(admin.value(QStringLiteral("SELECT count(*) FROM pg_class WHERE relname = 'ledger_mark'")),
              QStringLiteral("0"));
}

// The server's words about a database it does not have may not show the
// password they quote.
TEST(PostgresLedgerOpen, NoPasswordOfTheConnectionStringReachesAMessage)
{
    for (const char* connection :
         {"dbname='user=clerk password=S3cret'", "postgresql:///orvanta%20password%3DS3cret"}) {
        SCOPED_TRACE(connection);
        PostgresLedgerStore store(LedgerServer{QString::fromUtf8(connection), QStringLiteral("public"), {}});
        testing::internal::CaptureStderr();
        const Outcome opened = Open(store);
        const QString written = CapturedStderrLines().join(u'\n');
        EXPECT_TRUE(opened.failed);
        EXPECT_FALSE(opened.error.contains(QStringLiteral("S3cret"))) << opened.error.toStdString();
        EXPECT_FALSE(written.contains(QStringLiteral("S3cret"))) << written.toStdString();
    }
}

TEST(PostgresLedgerStore, ANulInATextIsRefusedInsteadOfCutShort)
{
    OpenStore<PostgresLedger> ledger;
    ASSERT_FALSE(ledger.failed) << ledger.error.toStdString();
    const QString name = QStringLiteral("ケーブル") + QChar(u'\0') + QStringLiteral("3m");
    ProductRecord product;
    EXPECT_TRUE(Resolve(*ledger.store, name, product).failed);
    product.strSpec = QStringLiteral("3m") + QChar(u'\0');
    EXPECT_TRUE(Resolve(*ledger.store, QStringLiteral("ケーブル"), product).failed);
    EXPECT_EQ(ledger.db.number(QStringLiteral("SELECT count(*) FROM products")), 0);
}

TEST(PostgresLedgerStore, ARunWhoseCommitReplyWasLostIsCommittedWhenTheServerHoldsIt)
{
    LosingRun losing;
    const Outcome committed = losing.run();
    EXPECT_FALSE(committed.failed) << committed.error.toStdString();
    EXPECT_EQ(
        losing.db.rows(QStringLiteral("SELECT lines_read, lines_imported, (SELECT count(*) FROM trades) FROM runs")),
        QStringList{"1|1|1"});
}

TEST(PostgresLedgerStore, ARunWhoseCommitReplyWasLostWithTheServerUnreachableSaysItCannotTell)
{
    LosingRun losing;
    std::optional<UnreachableServer> away;
    losing.store.whenLost = [&] { away.emplace(); };
    const Outcome committed = losing.run();
    away.reset();
    EXPECT_TRUE(committed.failed);
    EXPECT_TRUE(committed.error.contains(QStringLiteral("分かりません"))) << committed.error.toStdString();
    // The server did commit it; the history shows it.
    EXPECT_EQ(losing.db.number(QStringLiteral("SELECT count(*) FROM runs")), 1);
}

TEST(PostgresImport, ProgramsImportingOverlappingFilesAtOnceKeepEveryCountedTradeAndNoNameTwice)
{
    PostgresLedger ledger;
    ScratchDir dir;
    constexpr int kPrograms = 3;
    constexpr int kLines = 150;
    static_assert(kLines < 254, "the count travels as an exit status");
    std::vector<QString> files;
    for (int i = 0; i < kPrograms; ++i)
        files.push_back(dir.writeUtf8(QStringLiteral("sales%1.csv").arg(i), SalesLines(i, kLines)));

    // Each program exits with its imported count (kLines fits an exit
    // status), once all have been let go together.
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> programs;
    for (int i = 0; i < kPrograms; ++i) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(start[1]);
            char go = 0;
            if (read(start[0], &go, 1) != 0)
                _exit(255);
            RecordingDesktop desktop;
            clsImportSource engine(desktop, [&] { return std::make_unique<PostgresLedgerStore>(ledger.server()); });
            if (engine.IMPFileCheck(files[std::size_t(i)]))
                _exit(254);
            engine.ExecImport(files[std::size_t(i)], ledger.connection());
            _exit(ImportedCount(desktop) & 0xFF);
        }
        programs.push_back(child);
    }
    close(start[0]);
    close(start[1]);  // let them go

    int counted = 0;
    for (const pid_t child : programs) {
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), kLines);
        counted += WEXITSTATUS(status);
    }

    EXPECT_EQ(ledger.number(QStringLiteral("SELECT count(*) FROM trades")), counted);
    // Each program's run went in whole, with its own trades.
    EXPECT_EQ(
        ledger.rows(QStringLiteral("SELECT lines_imported, (SELECT count(*) FROM trades t WHERE t.run_id = r.run_id)"
                                   " FROM runs r")),
        QStringList(kPrograms, QStringLiteral("%1|%1").arg(kLines)));
    EXPECT_EQ(ledger.rows(
                  QStringLiteral("SELECT (SELECT count(*) FROM products), (SELECT count(DISTINCT name) FROM products),"
                                 " (SELECT count(*) FROM customers), (SELECT count(*) FROM kinds)")),
              QStringList{"12|12|5|4"});
    // Every line of every file, with its own product and customer.
    QStringList expected;
    for (int i = 0; i < kPrograms; ++i)
        for (int line = 0; line < kLines; ++line)
            expected << QStringLiteral("%1|製品%2|得意先%3")
                            .arg(i * 10000 + line + 1)
                            .arg((line * 7 + i) % 12)
                            .arg((line * 3 + i) % 5);
    EXPECT_EQ(
        ledger.rows(QStringLiteral("SELECT t.quantity, p.name, c.name FROM trades t JOIN products p USING (product_id)"
                                   " JOIN customers c USING (customer_id) ORDER BY t.quantity")),
        expected);
    EXPECT_EQ(ledger.number(QStringLiteral("SELECT count(*) FROM products p JOIN kinds k USING (kind_code)"
                                           " WHERE k.name <> '種別' || (substr(p.name, 3)::int % 4)")),
              0);
}

TEST(PostgresImport, AServerRestartedDuringARunLosesTheWholeRunAndLeavesNothing)
{
    const QByteArray version = qgetenv("PGVERSION");
    ASSERT_FALSE(version.isEmpty()) << "run under pg_virtualenv, which names the cluster to restart";
    PostgresLedger ledger;
    ScratchDir dir;
    constexpr int kLines = 120;
    const QString file = dir.writeUtf8(QStringLiteral("sales.csv"), SalesLines(0, kLines));

    RecordingDesktop desktop;
    int restarts = 0;
    desktop.onDoEvents = [&] {
        if (desktop.doEventsCount == 40) {
            ++restarts;
            EXPECT_EQ(QProcess::execute(QStringLiteral("pg_ctlcluster"),
                                        {QString::fromLatin1(version), QStringLiteral("regress"),
                                         QStringLiteral("restart"), QStringLiteral("-m"), QStringLiteral("fast")}),
                      0);
        }
    };
    clsImportSource engine(desktop, [&] { return ledger.programStore(); });
    ASSERT_FALSE(engine.IMPFileCheck(file));
    engine.ExecImport(file, ledger.connection());
    ASSERT_EQ(restarts, 1);

    EXPECT_EQ(ImportedCount(desktop), -1) << desktop.prompts().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(desktop.prompts().join(QLatin1Char('\n')).contains(QStringLiteral("CLS-is1005")));
    EXPECT_EQ(ledger.rows(QStringLiteral("SELECT (SELECT count(*) FROM trades), (SELECT count(*) FROM runs),"
                                         " (SELECT count(*) FROM products), (SELECT count(*) FROM customers)")),
              QStringList{"0|0|0|0"});
}

TEST(PostgresLedgerHistory, AnUndoThatCannotFinishChangesNothing)
{
    OpenStore<PostgresLedger> ledger;
    ASSERT_FALSE(ledger.failed) << ledger.error.toStdString();
    QString error;
    bool failed = true;
    ledger.store->BeginRun(ImportRunInfo{}, {}, error, failed);
    ASSERT_FALSE(failed) << error.toStdString();
    ProductRecord product;
    ASSERT_FALSE(Resolve(*ledger.store, QStringLiteral("液晶モニター"), product).failed);
    PartyRecord none;
    TradeRecord trade;
    trade.lngProductID = product.lngProductID;
    trade.dtmTradeDate = 45296.0;
    ledger.store->InsertTrade(product, none, none, trade, true, error, failed);
    ledger.store->CommitRun(1, 1, error, failed);
    ASSERT_FALSE(failed) << error.toStdString();

    // Another program holds the tables: the undo's removals wait, then fail.
    const auto history = ledger.db.history();
    const int64_t run = history->Runs().front().lngRunId;
    ledger.db.holdWrites();
    EXPECT_THROW(history->UndoRun(run, {}), LedgerError);
    ledger.db.releaseWrites();
    EXPECT_EQ(ledger.db.rows(QStringLiteral("SELECT (SELECT count(*) FROM trades), (SELECT count(*) FROM products),"
                                            " (SELECT count(*) FROM runs WHERE undone IS NULL)")),
              QStringList{"1|1|1"});
    EXPECT_EQ(history->UndoRun(run, {}).outcome, clsLedgerHistory::UndoOutcome::Undone);
}

TEST(PostgresLedgerStore, ARefusedLineWithANulIsKeptWithoutCostingTheRun)
{
    OpenStore<PostgresLedger> ledger;
    ASSERT_FALSE(ledger.failed) << ledger.error.toStdString();
    QString error;
    bool failed = true;
    ledger.store->BeginRun(ImportRunInfo{}, {}, error, failed);
    ASSERT_FALSE(failed) << error.toStdString();
    const QString nul(QChar(u'\0'));
    ledger.store->RejectLine(RejectedLine{2,
                                          QStringLiteral("a") + nul + QStringLiteral("b"),
                                          {{QString(), QStringLiteral("製品名が空です。"), QString(), nul}}},
                             error, failed);
    ASSERT_FALSE(failed) << error.toStdString();
    ledger.store->CommitRun(1, 0, error, failed);
    ASSERT_FALSE(failed) << error.toStdString();
    EXPECT_EQ(ledger.db.rows(QStringLiteral(
                  "SELECT l.record, x.value FROM rejected_lines l JOIN line_reasons x USING (reject_id)")),
              QStringList{QStringLiteral("a\uFFFDb|\uFFFD")});
}

// An office reaches its server over a network where each statement costs a
// round trip: counted with the server's own statistics, an import's
// statements grow with its batches, not with the names it holds.
TEST(PostgresImport, AnImportOfManyNamesRunsAFewStatementsWhetherTheNamesAreNewOrStored)
{
    PostgresLedger ledger;
    PostgresProbe admin;
    admin.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_stat_statements"));
    QStringList lines{kSalesHeader};
    for (int i = 0; i < 6000; ++i)
        lines << QStringLiteral("2024/5/%1,種別%2,メーカー,よみ,製品 %3,M-%3,,1,100,よみ,顧客 %4")
                     .arg(i % 28 + 1)
                     .arg(i % 7)
                     .arg(i % 2000)
                     .arg(i % 400);
    ScratchDir dir;
    const QString file = dir.writeUtf8(QStringLiteral("many.csv"), Lines(lines));
    const auto statements = [&] {
        admin.exec(QStringLiteral("SELECT pg_stat_statements_reset()"));
        RecordingDesktop desktop;
        desktop.answer = IDYES;
        clsImportSource engine(desktop, [&] { return ledger.makeStore(); });
        // As a clerk imports it: the checks, the look at its lines, the run.
        EXPECT_FALSE(engine.IMPFileCheck(file) || engine.IMPRepeatCheck(file, ledger.connection())
                     || engine.IMPLineCheck(file, ledger.connection()));
        engine.ExecImport(file, ledger.connection());
        EXPECT_EQ(desktop.prompts().last(), Totals(6000, 6000));
        return admin.number(
            QStringLiteral("SELECT sum(calls) FROM pg_stat_statements WHERE query NOT LIKE '%pg_stat_statements%'"));
    };
    EXPECT_LE(statements(), 50) << "into a new ledger";
    // A file of new trades whose names are all stored.
    lines.replaceInStrings(QStringLiteral("2024/5/"), QStringLiteral("2025/5/"));
    dir.writeUtf8(QStringLiteral("many.csv"), Lines(lines));
    EXPECT_LE(statements(), 50) << "with the names stored";
    EXPECT_EQ(ledger.number(QStringLiteral("SELECT count(*) FROM products")), 2000);
}

// What the one who sets a shared ledger up is told of each server.
TEST(PostgresLedgerOpen, ALookAtAServerSaysWhatIsWrongOrThatTheLedgerIsReady)
{
    PostgresLedger empty;
    PostgresLedger foreign;
    foreign.exec(QStringLiteral("CREATE TABLE inventory(item text)"));
    PostgresLedger used;
    {
        PostgresLedgerStore store(used.server());
        Outcome outcome = Open(store);
        store.BeginRun(ImportRunInfo{}, {}, outcome.error, outcome.failed);
        store.CommitRun(0, 0, outcome.error, outcome.failed);
        ASSERT_FALSE(outcome.failed) << outcome.error.toStdString();
    }
    PostgresProbe admin;
    admin.exec(QStringLiteral("DROP ROLE IF EXISTS ledger_reader"));
    admin.exec(QStringLiteral("CREATE ROLE ledger_reader LOGIN PASSWORD 'secret'"));
    admin.exec(
        QStringLiteral(
            "GRANT USAGE ON SCHEMA %1 TO ledger_reader; GRANT SELECT ON ALL TABLES IN SCHEMA %1 TO ledger_reader")
            .arg(used.schema()));
    LedgerServer reader = used.server();
    reader.strConnection = QStringLiteral("user=ledger_reader");
    reader.password = [] { return QStringLiteral("secret"); };
    LedgerServer mistyped = reader;
    mistyped.password = [] { return QStringLiteral("secert"); };

    const struct {
        LedgerServer server;
        bool ready;
        const char* says;
    } cases[] = {
        {empty.server(), true, "最初のインポートで作られます"},
        {foreign.server(), false, "台帳データベースではありません"},
        {used.server(), true, "台帳を使用できます（取り込み 1 件）"},
        {reader, false, "取り込む権限がありません"},
        {mistyped, false, "台帳サーバーのパスワードが違います。台帳の場所で確かめてください。\nサーバーの応答: "},
        {LedgerServer{QStringLiteral("host=127.0.0.1 port=1"), {}, {}}, false,
         "に接続できません。サーバーが動いているか"},
    };
    for (const auto& one : cases) {
        const LedgerServerCheck check = CheckLedgerServer(one.server);
        EXPECT_EQ(check.blnReady, one.ready) << check.strText.toStdString();
        EXPECT_TRUE(check.strText.contains(QString::fromUtf8(one.says))) << check.strText.toStdString();
    }
    EXPECT_EQ(empty.tables(), QString());
    admin.exec(QStringLiteral("DROP OWNED BY ledger_reader; DROP ROLE ledger_reader"));
}
