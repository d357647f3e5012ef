#include "ImportFixtures.h"
#include "LedgerStore.h"
#include "LedgerUnderTest.h"
#include "RecordingDesktop.h"
#include "SqliteEngine.h"
#include "SqliteLedgerDatabase.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>

namespace {

// One trade line of a run: its product, its customer and its kind.
struct SaleLine {
    QString product;
    QString customer;
    QString kind;
};

ImportRunInfo Info(const char* sha256)
{
    ImportRunInfo info;
    info.strFilePath = QStringLiteral("/home/clerk/売上.csv");
    info.lngFileSize = 1234;
    info.strSha256 = QByteArray(sha256).leftJustified(64, '0');
    info.strHeaderLine = QStringLiteral("日付,種別,…,販売先");
    info.strUser = QStringLiteral("clerk");
    info.strHost = QStringLiteral("desk1");
    info.strProgramVersion = QStringLiteral("1.00.0001");
    return info;
}

// A store on a fresh ledger of one kind, driven through runs as the engine
// drives it, with the ledger's history beside it.
template <typename Ledger>
struct RunLedger : OpenStore<Ledger> {
    using OpenStore<Ledger>::db;
    using OpenStore<Ledger>::store;

    // Another store on the same ledger.
    std::unique_ptr<clsLedgerStore> other()
    {
        auto second = db.makeStore();
        QString error;
        bool failed = true;
        second->OpenConnection(db.connection(), error, failed);
        EXPECT_FALSE(failed) << error.toStdString();
        return second;
    }

    void begin(clsLedgerStore& on, const char* sha256, const std::function<void()>& whileWaiting = {})
    {
        QString error;
        bool failed = true;
        on.BeginRun(Info(sha256), whileWaiting, error, failed);
        ASSERT_FALSE(failed) << error.toStdString();
    }

    // The data lines, from file line 2 on; true when every trade was accepted.
    bool lines(clsLedgerStore& on, const std::vector<SaleLine>& sales)
    {
        bool all = true;
        int64_t number = 1;
        for (const SaleLine& sale : sales) {
            on.BeginLine(++number);
            QString error;
            bool failed = false;
            ProductRecord product;
            PartyRecord supplier;
            PartyRecord customer;
            TradeRecord trade;
            on.ResolveProduct(sale.product, product, error, failed);
            customer.strPartyName = sale.customer;
            on.ResolveCustomer(sale.customer, customer, error, failed);
            product.lngKindCode = on.GetKindCode(sale.kind);
            trade.lngProductID = product.lngProductID;
            trade.lngCustomerID = customer.lngPartyID;
            trade.dtmTradeDate = 45296.0;
            trade.lngSalesQuantity = int32_t(number);
            on.InsertTrade(product, supplier, customer, trade, false, error, failed);
            all = all && !failed;
        }
        return all;
    }

    void commit(clsLedgerStore& on, int32_t read, int32_t imported)
    {
        QString error;
        bool failed = true;
        on.CommitRun(read, imported, error, failed);
        ASSERT_FALSE(failed) << error.toStdString();
    }

    // A whole run of sales lines on the test's own store; its ID.
    int64_t run(const char* sha256, const std::vector<SaleLine>& sales)
    {
        begin(*store, sha256);
        EXPECT_TRUE(lines(*store, sales));
        commit(*store, int32_t(sales.size()), int32_t(sales.size()));
        return db.number(QStringLiteral("SELECT max(run_id) FROM runs"));
    }

    // How many rows each ledger table holds, joined by '|'.
    QString counts()
    {
        return db.value(QStringLiteral(
            "SELECT (SELECT count(*) FROM runs), (SELECT count(*) FROM trades), (SELECT count(*) FROM products),"
            " (SELECT count(*) FROM customers), (SELECT count(*) FROM kinds), (SELECT count(*) FROM rejected_lines)"));
    }
    QStringList names(const char* table)
    {
        return db.rows(QStringLiteral("SELECT name FROM %1 ORDER BY name").arg(QLatin1String(table)));
    }
};

template <typename Ledger>
class LedgerRun : public ::testing::Test {
};
TYPED_TEST_SUITE(LedgerRun, LedgerKinds, LedgerKindName);

const std::vector<SaleLine> kTwoSales = {
    {QStringLiteral("液晶モニター"), QStringLiteral("北星電機"), QStringLiteral("モニター")},
    {QStringLiteral("ケーブル"), QStringLiteral("青葉商店"), QStringLiteral("部品")},
};

}  // namespace

TYPED_TEST(LedgerRun, ACommittedRunBecomesVisibleWholeAndOnlyAtItsCommit)
{
    RunLedger<TypeParam> ledger;
    ledger.begin(*ledger.store, "aa");
    ASSERT_TRUE(ledger.lines(*ledger.store, kTwoSales));
    // Another reader sees the ledger as it was before the run.
    EXPECT_EQ(ledger.counts(), QStringLiteral("0|0|0|0|0|0"));
    ledger.commit(*ledger.store, 2, 2);

    EXPECT_EQ(ledger.counts(), QStringLiteral("1|2|2|2|2|0"));
    EXPECT_EQ(ledger.db.rows(QStringLiteral("SELECT r.run_id = t.run_id, t.line_number FROM trades t, runs r"
                                            " ORDER BY t.line_number")),
              QStringList({TypeParam::kIsSqlite ? "1|2" : "t|2", TypeParam::kIsSqlite ? "1|3" : "t|3"}));
    const auto history = ledger.db.history();
    const std::vector<RunSummary> runs = history->Runs();
    ASSERT_EQ(runs.size(), 1u);
    const RunSummary& run = runs.front();
    const ImportRunInfo info = Info("aa");
    EXPECT_EQ(std::tie(run.lngRead, run.lngImported, run.lngTradesInLedger, run.blnUndone, run.blnPurchase),
              std::make_tuple(2, 2, int64_t(2), false, false));
    EXPECT_EQ(run.strFilePath, info.strFilePath);
    EXPECT_EQ(run.lngFileSize, info.lngFileSize);
    EXPECT_EQ(run.strSha256, info.strSha256);
    EXPECT_EQ(QStringList({run.strUser, run.strHost, run.strProgramVersion}),
              QStringList({info.strUser, info.strHost, info.strProgramVersion}));
    EXPECT_TRUE(run.dtmStarted.isValid());
    EXPECT_LE(run.dtmStarted, run.dtmEnded);
    EXPECT_EQ(history->Run(run.lngRunId)->lngRunId, run.lngRunId);
    EXPECT_FALSE(history->Run(run.lngRunId + 1).has_value());
}

TYPED_TEST(LedgerRun, ARunAbandonedOrReleasedWithoutCommitLeavesNothingNotEvenItsNames)
{
    for (const bool release : {false, true}) {
        SCOPED_TRACE(release ? "released" : "abandoned");
        RunLedger<TypeParam> ledger;
        auto store = ledger.other();
        ledger.begin(*store, "aa");
        ASSERT_TRUE(ledger.lines(*store, kTwoSales));
        if (release)
            store.reset();
        else
            store->AbandonRun();
        EXPECT_EQ(ledger.counts(), QStringLiteral("0|0|0|0|0|0"));
        if (!release) {
            // What the store learnt in the run went with it: a new run adds the names again.
            ledger.begin(*store, "aa");
            EXPECT_TRUE(ledger.lines(*store, kTwoSales));
            ledger.commit(*store, 2, 2);
            EXPECT_EQ(ledger.counts(), QStringLiteral("1|2|2|2|2|0"));
        }
    }
}

TYPED_TEST(LedgerRun, RefusedLinesAreKeptWithTheirReasonsAndGivenBackInFileOrder)
{
    RunLedger<TypeParam> ledger;
    ledger.begin(*ledger.store, "aa");
    // Texts that begin with what a UTF-16 reader would take for a byte order mark come back as they were.
    const RejectedLine late{
        7, QStringLiteral("\uFFFE2024/5/3,,,,,,,1,100,,"), {{QString(), QStringLiteral("製品名が空です。"), {}, {}}}};
    const RejectedLine early{3,
                             QStringLiteral("\uFEFF2024/2/30,モニター,\"a\nb\",x,,,,1,100,,"),
                             {{QStringLiteral("CLS-is1002"), QStringLiteral("型が一致しません。"),
                               QStringLiteral("日付"), QStringLiteral("2024/2/30")},
                              {QStringLiteral("CLS-is1002"), QStringLiteral("オーバーフローしました。"),
                               QStringLiteral("数量"), QStringLiteral("99999999999")}}};
    for (const RejectedLine& line : {late, early}) {
        QString error;
        bool failed = true;
        ledger.store->RejectLine(line, error, failed);
        ASSERT_FALSE(failed) << error.toStdString();
    }
    ledger.commit(*ledger.store, 2, 0);

    const auto history = ledger.db.history();
    const std::optional<RunRejects> rejects = history->Rejects(history->Runs().front().lngRunId);
    ASSERT_TRUE(rejects.has_value());
    EXPECT_EQ(rejects->strHeaderLine, Info("aa").strHeaderLine);
    ASSERT_EQ(rejects->lines.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const RejectedLine& expected = i == 0 ? early : late;
        const RejectedLine& given = rejects->lines[i];
        EXPECT_EQ(given.lngLineNumber, expected.lngLineNumber);
        EXPECT_EQ(given.strRecord, expected.strRecord);
        ASSERT_EQ(given.reasons.size(), expected.reasons.size());
        for (std::size_t r = 0; r < given.reasons.size(); ++r)
            EXPECT_EQ(QStringList({given.reasons[r].strCode, given.reasons[r].strText, given.reasons[r].strColumn,
                                   given.reasons[r].strValue}),
                      QStringList({expected.reasons[r].strCode, expected.reasons[r].strText,
                                   expected.reasons[r].strColumn, expected.reasons[r].strValue}));
    }
    EXPECT_FALSE(history->Rejects(999).has_value());
}

TYPED_TEST(LedgerRun, ARepeatIsFoundOnlyAmongRunsThatAreInTheLedger)
{
    RunLedger<TypeParam> ledger;
    const int64_t first = ledger.run("aa", {kTwoSales[0]});
    const int64_t newest = ledger.run("aa", kTwoSales);
    ledger.begin(*ledger.store, "bb");
    ledger.store->AbandonRun();

    const auto find = [&](const char* sha256) {
        QString error;
        bool failed = true;
        const std::optional<PriorRun> prior = ledger.other()->FindImportedRun(Info(sha256).strSha256, error, failed);
        EXPECT_FALSE(failed) << error.toStdString();
        return prior;
    };
    const std::optional<PriorRun> repeat = find("aa");
    ASSERT_TRUE(repeat.has_value());
    EXPECT_EQ(std::tie(repeat->lngRunId, repeat->lngRead, repeat->lngImported), std::make_tuple(newest, 2, 2));
    EXPECT_TRUE(repeat->dtmStarted.isValid());
    EXPECT_FALSE(find("bb").has_value());

    const auto history = ledger.db.history();
    history->UndoRun(newest, {});
    EXPECT_EQ(find("aa")->lngRunId, first);
    history->UndoRun(first, {});
    EXPECT_FALSE(find("aa").has_value());
}

TYPED_TEST(LedgerRun, AnUndoTakesOutTheRunsTradesAndTheNamesNothingElseUses)
{
    RunLedger<TypeParam> ledger;
    const int64_t first =
        ledger.run("aa", {{QStringLiteral("モニター"), QStringLiteral("北星電機"), QStringLiteral("表示")},
                          {QStringLiteral("ケーブル"), QStringLiteral("北星電機"), QStringLiteral("部品")}});
    const int64_t second =
        ledger.run("bb", {{QStringLiteral("ケーブル"), QStringLiteral("青葉商店"), QStringLiteral("予備")}});
    const auto history = ledger.db.history();

    using Outcome = clsLedgerHistory::UndoOutcome;
    const clsLedgerHistory::UndoResult undone = history->UndoRun(first, {});
    EXPECT_EQ(undone.outcome, Outcome::Undone);
    EXPECT_EQ(undone.lngTradesRemoved, 2);
    // The cable and its kind stay for the second run's trade; the monitor,
    // its kind and its only customer go. The second run's 予備 was never
    // added: the cable had its kind.
    EXPECT_EQ(ledger.names("products"), QStringList{"ケーブル"});
    EXPECT_EQ(ledger.names("customers"), QStringList{"青葉商店"});
    EXPECT_EQ(ledger.names("kinds"), QStringList({"部品"}));
    EXPECT_EQ(ledger.db.number(QStringLiteral("SELECT count(*) FROM trades")), 1);
    const std::optional<RunSummary> run = history->Run(first);
    ASSERT_TRUE(run.has_value());
    EXPECT_TRUE(run->blnUndone);
    EXPECT_EQ(run->lngTradesInLedger, 0);
    EXPECT_FALSE(history->Run(second)->blnUndone);

    EXPECT_EQ(history->UndoRun(first, {}).outcome, Outcome::AlreadyUndone);
    EXPECT_EQ(history->UndoRun(second + 1, {}).outcome, Outcome::UnknownRun);
    EXPECT_EQ(ledger.counts(), QStringLiteral("2|1|1|1|1|0"));

    // Names an undone run left for a later one go with that one.
    EXPECT_EQ(history->UndoRun(second, {}).lngTradesRemoved, 1);
    EXPECT_EQ(ledger.counts(), QStringLiteral("2|0|0|0|0|0"));
}

TYPED_TEST(LedgerRun, AnUndoGivesBackTheLedgerAsItWasAndItsIdsAreNeverGivenAgain)
{
    RunLedger<TypeParam> ledger;
    const auto products = [&] {
        return ledger.db.rows(
            QStringLiteral("SELECT product_id, name, coalesce(kind_code, 0) FROM products ORDER BY 1"));
    };
    const auto highest = [&](const char* id, const char* table) {
        return ledger.db.number(QStringLiteral("SELECT max(%1) FROM %2").arg(QLatin1String(id), QLatin1String(table)));
    };
    // The first run brings a product without a kind; the second gives it one,
    // and adds a product, a customer and kinds of its own.
    ledger.run("aa", {{QStringLiteral("ケーブル"), QStringLiteral("青葉商店"), QString()}});
    const QStringList before = products();
    const int64_t second =
        ledger.run("bb", {{QStringLiteral("ケーブル"), QStringLiteral("青葉商店"), QStringLiteral("部品")},
                          {QStringLiteral("モニター"), QStringLiteral("北星電機"), QStringLiteral("表示")}});
    const std::vector<long long> given = {highest("trade_id", "trades"), highest("product_id", "products"),
                                          highest("customer_id", "customers"), highest("kind_code", "kinds")};
    ledger.db.history()->UndoRun(second, {});
    EXPECT_EQ(products(), before);
    EXPECT_EQ(ledger.names("kinds"), QStringList());
    EXPECT_EQ(ledger.counts(), QStringLiteral("2|1|1|1|0|0"));

    ledger.run("cc", {{QStringLiteral("マウス"), QStringLiteral("南海商会"), QStringLiteral("入力")}});
    const std::vector<long long> next = {highest("trade_id", "trades"), highest("product_id", "products"),
                                         highest("customer_id", "customers"), highest("kind_code", "kinds")};
    for (std::size_t i = 0; i < given.size(); ++i)
        EXPECT_GT(next[i], given[i]) << i;
}

TYPED_TEST(LedgerRun, ARunOrAnUndoWaitsItsTurnLettingTheWindowBreathe)
{
    RunLedger<TypeParam> ledger;
    ledger.begin(*ledger.store, "aa");
    ASSERT_TRUE(ledger.lines(*ledger.store, {kTwoSales[0]}));

    // The second store waits until the first run is committed from its window.
    auto second = ledger.other();
    int waits = 0;
    ledger.begin(*second, "bb", [&] {
        if (++waits == 3)
            ledger.commit(*ledger.store, 1, 1);
    });
    EXPECT_EQ(waits, 3);
    ASSERT_TRUE(ledger.lines(*second, kTwoSales));

    // An undo waits for that run in turn.
    const auto history = ledger.db.history();
    waits = 0;
    const clsLedgerHistory::UndoResult undone = history->UndoRun(history->Runs().front().lngRunId, [&] {
        if (++waits == 2)
            ledger.commit(*second, 2, 2);
    });
    EXPECT_EQ(waits, 2);
    EXPECT_EQ(undone.lngTradesRemoved, 1);
    EXPECT_EQ(ledger.counts(), QStringLiteral("2|2|2|2|2|0"));
}

TYPED_TEST(LedgerRun, TheHistoryOfALedgerThatIsNotThereYetSaysSoAndMakesNone)
{
    TypeParam ledger;
    try {
        ledger.history();
        ADD_FAILURE() << "a history where there is no ledger";
    } catch (const LedgerError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("台帳がまだありません"))) << error.what();
    }
    if constexpr (TypeParam::kIsSqlite) {
        EXPECT_FALSE(QFileInfo::exists(ledger.path()));
    } else {
        EXPECT_EQ(ledger.tables(), QString());
    }
}

// What the history's list and an undo of the newest run cost, in SQLite's
// own steps, on a ledger of a few trades and on one of many more outside
// the runs concerned: the cost follows the run, not the ledger.
TEST(LedgerHistoryCost, TheListAndAnUndoCostWhatTheirRunsHoldNotWhatTheLedgerHolds)
{
    const auto cost = [](int otherTrades) {
        RunLedger<SqliteLedger> ledger;
        ledger.run("aa", kTwoSales);
        ledger.db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)"
                                      " INSERT INTO trades(trade_kind, trade_date, product_id, customer_id, quantity,"
                                      " unit_price, amount, run_id) SELECT 1, '2024-01-05', 1, 1, 1, 1, 1, 1 FROM n")
                           .arg(otherTrades));
        const int64_t newest =
            ledger.run("bb", {{QStringLiteral("マウス"), QStringLiteral("南海商会"), QStringLiteral("入力")}});
        sqlite3* raw = nullptr;
        sqlite3_open(QFile::encodeName(ledger.db.path()).constData(), &raw);
        SqliteDatabase db(raw);
        long long steps = 0;
        sqlite3_progress_handler(
            raw, 10, [](void* count) { return ++*static_cast<long long*>(count), 0; }, &steps);
        const auto history = HistoryOver(std::make_unique<SqliteEngine>(std::move(db)));
        EXPECT_EQ(history->Runs().size(), 2u);
        EXPECT_EQ(history->UndoRun(newest, {}).lngTradesRemoved, 1);
        return steps;
    };
    const long long small = cost(10);
    const long long large = cost(100000);
    EXPECT_LT(large, small * 2) << small << " steps against " << large;
}

TEST(LedgerTurn, WaitingGivesUpAfterItsPatienceWithTheReason)
{
    RunLedger<SqliteLedger> ledger;
    ledger.begin(*ledger.store, "aa");
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(ledger.db.path()).constData(), &raw), SQLITE_OK);
    const SqliteDatabase db(raw);
    SqliteLedgerDatabase waiting(raw);
    int waits = 0;
    const std::optional<QString> reason = WaitForTurn(
        waiting, [&] { ++waits; }, std::chrono::milliseconds(300));
    ASSERT_TRUE(reason.has_value());
    EXPECT_TRUE(reason->contains(QStringLiteral("他のインポートが台帳を使用中です"))) << reason->toStdString();
    EXPECT_GE(waits, 3);
    EXPECT_LE(waits, 8);
}

namespace {

// Puts a ledger as the first version of the program left it where the
// ledger under test lies; gives its number of trades.
template <typename Ledger>
long long MakeFirstVersion(Ledger& ledger)
{
    if constexpr (Ledger::kIsSqlite) {
        EXPECT_TRUE(QFile::copy(QStringLiteral(MORA_LEDGER_DATA_DIR "/ledger-v1.mdb"), ledger.path()));
        return 24;
    } else {
        QFile script(QStringLiteral(MORA_LEDGER_DATA_DIR "/ledger-v1-postgres.sql"));
        EXPECT_TRUE(script.open(QIODevice::ReadOnly));
        ledger.exec(QString::fromUtf8(script.readAll()));
        return 3;
    }
}

template <typename Ledger>
long long SchemaVersion(Ledger& ledger)
{
    if constexpr (Ledger::kIsSqlite)
        return ledger.number(QStringLiteral("PRAGMA user_version"));
    else
        return ledger.number(QStringLiteral("SELECT schema_version FROM ledger_mark"));
}

}  // namespace

TYPED_TEST(LedgerRun, ALedgerOfTheFirstVersionIsUpgradedInPlaceKeepingItsTradesOutsideAnyRun)
{
    TypeParam db;
    const long long kept = MakeFirstVersion(db);
    // Two masters of one key, stored before there were keys.
    db.exec(QStringLiteral("INSERT INTO products(name, maker, reading, model, spec) VALUES"
                           " ('ＡＢＣマウス', '', '', '', ''), ('ABC マウス', '', '', '', '')"));
    const long long older = db.number(QStringLiteral("SELECT product_id FROM products WHERE name = 'ＡＢＣマウス'"));
    const long long newer = db.number(QStringLiteral("SELECT product_id FROM products WHERE name = 'ABC マウス'"));
    const QString before = db.value(QStringLiteral("SELECT count(*) || '|' || sum(amount) FROM trades"));
    {
        // The history alone brings it up to date too, and shows no runs.
        EXPECT_TRUE(db.history()->Runs().empty());
    }
    EXPECT_EQ(SchemaVersion(db), TypeParam::kSchemaVersionForTests);

    auto store = db.makeStore();
    QString error;
    bool failed = true;
    store->OpenConnection(db.connection(), error, failed);
    ASSERT_FALSE(failed) << error.toStdString();
    EXPECT_EQ(db.value(QStringLiteral("SELECT count(*) || '|' || sum(amount) FROM trades")), before);
    EXPECT_EQ(db.number(QStringLiteral("SELECT count(*) FROM trades WHERE run_id IS NULL")), kept);

    // A run on it, and its undo, leave the old trades and names alone.
    store->BeginRun(Info("cc"), {}, error, failed);
    ASSERT_FALSE(failed) << error.toStdString();
    ProductRecord product;
    store->ResolveProduct(QStringLiteral("ワイヤレスマウス"), product, error, failed);
    EXPECT_EQ(product.lngProductID,
              db.number(QStringLiteral("SELECT product_id FROM products WHERE name = 'ワイヤレスマウス'")));
    // The upgrade gave the stored masters their keys: both stay. A name
    // written a third way takes the older; a name stored exactly, its own.
    for (const auto& [name, master] :
         {std::pair{QStringLiteral("ABCマウス"), older}, std::pair{QStringLiteral("ABC マウス"), newer},
          std::pair{QStringLiteral("ＡＢＣマウス"), older}}) {
        ProductRecord mouse;
        store->ResolveProduct(name, mouse, error, failed);
        EXPECT_EQ(mouse.lngProductID, master) << name.toStdString();
    }
    EXPECT_EQ(db.number(QStringLiteral("SELECT count(*) FROM products WHERE name_key = 'ABCマウス'")), 2);
    PartyRecord none;
    TradeRecord trade;
    trade.lngProductID = product.lngProductID;
    trade.dtmTradeDate = 45296.0;
    store->InsertTrade(product, none, none, trade, false, error, failed);
    ASSERT_FALSE(failed) << error.toStdString();
    store->CommitRun(1, 1, error, failed);
    ASSERT_FALSE(failed) << error.toStdString();
    store.reset();
    const auto history = db.history();
    EXPECT_EQ(history->UndoRun(history->Runs().front().lngRunId, {}).lngTradesRemoved, 1);
    EXPECT_EQ(db.value(QStringLiteral("SELECT count(*) || '|' || sum(amount) FROM trades")), before);
    EXPECT_EQ(db.number(QStringLiteral("SELECT count(*) FROM products WHERE name = 'ワイヤレスマウス'")), 1);
}

// The look before an import writes nothing, whatever it finds, and never
// calls a line new that it could not compare with the ledger.
TYPED_TEST(LedgerRun, TheLookBeforeAnImportWritesNothingAndSaysWhenItCannotCompare)
{
    enum class Place { Nothing, FirstVersion, NewerVersion, NoLedger };
    const struct {
        const char* what;
        Place place;
        const char* said;  // part of the one box it shows
        bool rows;
    } cases[] = {
        {"no ledger yet: every line is new, and it says so", Place::Nothing, "台帳がまだありません", true},
        {"an older version, which only an import upgrades", Place::FirstVersion, "古い版です（版 1）", false},
        {"a newer version", Place::NewerVersion, "新しい版のものです", false},
        {"something that is no ledger", Place::NoLedger, "台帳データベースではありません", false},
    };
    const ScratchDir dir;
    const QString file = dir.writeUtf8(
        QStringLiteral("look.csv"),
        fixtures::Lines({fixtures::kSalesHeader, QStringLiteral("2024/5/1,k,m,r,マウス,M,s,1,100,,北星電機")}));
    for (const auto& one : cases) {
        SCOPED_TRACE(one.what);
        TypeParam db;
        // What the place held before the look, to compare after it.
        QString before;
        const auto held = [&] {
            if constexpr (TypeParam::kIsSqlite) {
                QFile ledger(db.path());
                const QString files = QFileInfo(db.path()).dir().entryList(QDir::Files).join(u',');
                return files + u'|'
                       + (ledger.open(QIODevice::ReadOnly) ? QString::fromLatin1(ledger.readAll().toHex()) : QString());
            } else {
                const QString tables = db.tables();
                return tables + u'|'
                       + (tables.split(u',').contains(QStringLiteral("ledger_mark"))
                              ? db.value(QStringLiteral("SELECT schema_version || '|' || (SELECT count(*) FROM trades)"
                                                        " FROM ledger_mark"))
                              : QString());
            }
        };
        if (one.place == Place::FirstVersion)
            MakeFirstVersion(db);
        if (one.place == Place::NewerVersion) {
            QString error;
            bool failed = true;
            db.programStore()->OpenConnection(db.connection(), error, failed);
            ASSERT_FALSE(failed) << error.toStdString();
            if constexpr (TypeParam::kIsSqlite)
                db.exec(QStringLiteral("PRAGMA user_version = %1").arg(TypeParam::kSchemaVersionForTests + 1));
            else
                db.exec(QStringLiteral("UPDATE ledger_mark SET schema_version = %1")
                            .arg(TypeParam::kSchemaVersionForTests + 1));
        }
        if (one.place == Place::NoLedger) {
            if constexpr (TypeParam::kIsSqlite) {
                QFile other(db.path());
                ASSERT_TRUE(other.open(QIODevice::WriteOnly));
                other.write(QByteArray(4096, 'x'));
            } else {
                db.exec(QStringLiteral("CREATE TABLE accounts(id integer)"));
            }
        }
        before = held();

        RecordingDesktop desktop;
        clsImportSource engine(desktop, [&db] { return db.programStore(); });
        const std::optional<std::vector<LineCheck>> rows = engine.CheckFile(file, db.connection());
        EXPECT_EQ(rows.has_value(), one.rows);
        if (rows) {
            ASSERT_EQ(rows->size(), 1u);
            EXPECT_EQ(rows->front().outcome, LineCheck::Outcome::New);
        }
        ASSERT_EQ(desktop.prompts().size(), 1) << desktop.prompts().join(u'\n').toStdString();
        EXPECT_TRUE(desktop.prompts().front().contains(QString::fromUtf8(one.said)))
            << desktop.prompts().front().toStdString();
        EXPECT_EQ(held(), before);
    }
}
