#include "LedgerUnderTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr double kJan5th2024 = 45296.0;

// A ledger with one product, one supplier and one customer resolved, and
// a trade record that refers to them.
template <typename Ledger>
struct TradeLedger : OpenStore<Ledger> {
    using OpenStore<Ledger>::db;
    using OpenStore<Ledger>::store;
    using OpenStore<Ledger>::error;
    using OpenStore<Ledger>::failed;

    ProductRecord product;
    PartyRecord supplier;
    PartyRecord customer;
    TradeRecord trade;

    TradeLedger()
    {
        product.strProductName = QStringLiteral("液晶モニター");
        supplier.strPartyName = QStringLiteral("東和商事");
        customer.strPartyName = QStringLiteral("北星電機");
        store->ResolveProduct(product.strProductName, product, error, failed);
        store->ResolveSupplier(supplier.strPartyName, supplier, error, failed);
        store->ResolveCustomer(customer.strPartyName, customer, error, failed);
        trade.lngProductID = product.lngProductID;
        trade.lngSupplierID = supplier.lngPartyID;
        trade.lngCustomerID = customer.lngPartyID;
        trade.dtmTradeDate = kJan5th2024;
        trade.lngPurchaseQuantity = 3;
        trade.lngPurchaseUnitPrice = 1200;
        trade.lngPurchaseAmount = 3600;
        trade.lngSalesQuantity = 2;
        trade.lngSalesUnitPrice = 1500;
        trade.lngSalesAmount = 3000;
    }

    // The flag and text as InsertTrade leaves them, from a flag that held `entry`.
    bool insert(bool purchase, bool entry = false)
    {
        failed = entry;
        error = QStringLiteral("stale");
        store->InsertTrade(product, supplier, customer, trade, purchase, error, failed);
        return failed;
    }

    QStringList trades()
    {
        return db.rows(QStringLiteral("SELECT trade_kind, ") + Ledger::dateText(QStringLiteral("trade_date"))
                       + QStringLiteral(", product_id, supplier_id, customer_id, quantity, unit_price, amount"
                                        " FROM trades ORDER BY trade_id"));
    }
};

template <typename Ledger>
class LedgerTrade : public ::testing::Test {
};
TYPED_TEST_SUITE(LedgerTrade, LedgerKinds, LedgerKindName);

}  // namespace

TYPED_TEST(LedgerTrade, InsertsTheSideOfTheMode)
{
    TradeLedger<TypeParam> ledger;
    ASSERT_EQ(ledger.product.lngProductID, 1);
    EXPECT_FALSE(ledger.insert(true));
    EXPECT_TRUE(ledger.error.isEmpty());
    EXPECT_FALSE(ledger.insert(false));
    EXPECT_EQ(ledger.trades(), QStringList({"0|2024-01-05|1|1|NULL|3|1200|3600", "1|2024-01-05|1|NULL|1|2|1500|3000"}));
}

TYPED_TEST(LedgerTrade, APartyOfZeroIsStoredAsNoneWhenTheRecordNamesNone)
{
    TradeLedger<TypeParam> ledger;
    ledger.trade.lngSupplierID = 0;
    ledger.supplier.strPartyName.clear();
    EXPECT_FALSE(ledger.insert(true));
    ledger.trade.lngCustomerID = 0;
    ledger.customer.strPartyName.clear();
    EXPECT_FALSE(ledger.insert(false));
    EXPECT_EQ(ledger.db.rows("SELECT supplier_id, customer_id FROM trades ORDER BY trade_id"),
              QStringList({"NULL|NULL", "NULL|NULL"}));
}

TYPED_TEST(LedgerTrade, WritesTheTimeOnlyWhenTheDateHasOne)
{
    TradeLedger<TypeParam> ledger;
    ledger.trade.dtmTradeDate = kJan5th2024 + (9 * 3600 + 30 * 60) / 86400.0;
    EXPECT_FALSE(ledger.insert(false));
    ledger.trade.dtmTradeDate = -1.25;
    EXPECT_FALSE(ledger.insert(false));
    EXPECT_EQ(ledger.db.rows(QStringLiteral("SELECT ") + TypeParam::dateText(QStringLiteral("trade_date"))
                             + QStringLiteral(" FROM trades ORDER BY trade_id")),
              QStringList({"2024-01-05 09:30:00", "1899-12-29 06:00:00"}));
}

TYPED_TEST(LedgerTrade, TheFirstDayOfTheDateScaleIsADate)
{
    TradeLedger<TypeParam> ledger;
    ledger.trade.dtmTradeDate = 0.0;
    EXPECT_FALSE(ledger.insert(true)) << ledger.error.toStdString();
    ledger.trade.dtmTradeDate = 0.5;
    EXPECT_FALSE(ledger.insert(true)) << ledger.error.toStdString();
    EXPECT_EQ(ledger.db.rows(QStringLiteral("SELECT ") + TypeParam::dateText(QStringLiteral("trade_date"))
                             + QStringLiteral(" FROM trades ORDER BY trade_id")),
              QStringList({"1899-12-30", "1899-12-30 12:00:00"}));
}

TYPED_TEST(LedgerTrade, RefusesTradesWithoutAKnownProductOrDate)
{
    TradeLedger<TypeParam> ledger;
    const auto refused = [&](auto change) {
        TradeRecord kept = ledger.trade;
        change(ledger.trade);
        const bool failed = ledger.insert(true);
        const bool explained = !ledger.error.isEmpty() && ledger.error != QStringLiteral("stale");
        ledger.trade = kept;
        return failed && explained;
    };
    EXPECT_TRUE(refused([](TradeRecord& t) { t.lngProductID = 0; }));
    EXPECT_TRUE(refused([](TradeRecord& t) { t.lngProductID = 42; }));
    EXPECT_TRUE(refused([](TradeRecord& t) { t.lngProductID = -1; }));
    EXPECT_TRUE(refused([](TradeRecord& t) { t.dtmTradeDate = std::numeric_limits<double>::quiet_NaN(); }));
    EXPECT_TRUE(refused([](TradeRecord& t) { t.dtmTradeDate = std::numeric_limits<double>::infinity(); }));
    EXPECT_TRUE(refused([](TradeRecord& t) { t.dtmTradeDate = 1e12; }));
    EXPECT_TRUE(ledger.trades().isEmpty());
}

TYPED_TEST(LedgerTrade, RefusesAPartyThatIsNotKnownOrDidNotResolve)
{
    TradeLedger<TypeParam> ledger;
    ledger.trade.lngSupplierID = 42;
    EXPECT_TRUE(ledger.insert(true));
    EXPECT_TRUE(ledger.error.contains(QStringLiteral("42"))) << ledger.error.toStdString();
    // A customer ID is no supplier ID: only customer 1 exists, supplier 2 does not.
    ledger.trade.lngSupplierID = 1;
    ledger.trade.lngCustomerID = 2;
    EXPECT_TRUE(ledger.insert(false));
    // A named party whose resolve failed must not be booked as no party.
    ledger.trade.lngCustomerID = 0;
    EXPECT_TRUE(ledger.insert(false));
    EXPECT_TRUE(ledger.error.contains(QStringLiteral("北星電機"))) << ledger.error.toStdString();
    EXPECT_TRUE(ledger.trades().isEmpty());
}

TYPED_TEST(LedgerTrade, SuccessClearsTheFlagWhateverItHeld)
{
    TradeLedger<TypeParam> ledger;
    EXPECT_FALSE(ledger.insert(true, true));
    EXPECT_TRUE(ledger.error.isEmpty());
    ledger.trade.lngProductID = 0;
    EXPECT_TRUE(ledger.insert(true, false));
    EXPECT_EQ(ledger.trades().size(), 1);
}

TYPED_TEST(LedgerTrade, RecordsTheKindCodeOnAProductThatHasNone)
{
    TradeLedger<TypeParam> ledger;
    const int32_t monitor = ledger.store->GetKindCode(QStringLiteral("モニター"));
    const int32_t cable = ledger.store->GetKindCode(QStringLiteral("ケーブル"));
    auto& probe = ledger.db;

    ledger.product.lngKindCode = 0;
    EXPECT_FALSE(ledger.insert(false));
    EXPECT_EQ(probe.value("SELECT kind_code FROM products"), QStringLiteral("NULL"));
    // A code that names no kind is not recorded; the trade still stands.
    ledger.product.lngKindCode = 77;
    EXPECT_FALSE(ledger.insert(false));
    EXPECT_EQ(probe.value("SELECT kind_code FROM products"), QStringLiteral("NULL"));
    ledger.product.lngKindCode = monitor;
    EXPECT_FALSE(ledger.insert(false));
    EXPECT_EQ(probe.number("SELECT kind_code FROM products"), monitor);
    ledger.product.lngKindCode = cable;
    EXPECT_FALSE(ledger.insert(false));
    EXPECT_EQ(probe.number("SELECT kind_code FROM products"), monitor);
    EXPECT_EQ(ledger.trades().size(), 4);

    // A kind not stored yet is not added for a product that has one, as
    // this store has seen or as another store finds it: nothing would use it.
    const auto second = ledger.db.makeStore();
    second->OpenConnection(ledger.db.connection(), ledger.error, ledger.failed);
    for (clsLedgerStore* store : {ledger.store.get(), second.get()}) {
        store->ResolveProduct(ledger.product.strProductName, ledger.product, ledger.error, ledger.failed);
        EXPECT_EQ(store->GetKindCode(QStringLiteral("予備")), 0);
        EXPECT_EQ(store->GetKindCode(QStringLiteral("ケーブル")), cable);
    }
    EXPECT_EQ(probe.number("SELECT count(*) FROM kinds"), 2);
}

TYPED_TEST(LedgerTrade, EveryAcceptedTradeIsCommittedAtOnce)
{
    TradeLedger<TypeParam> ledger;
    auto& probe = ledger.db;
    for (int i = 1; i <= 3; ++i) {
        ASSERT_FALSE(ledger.insert(i % 2 == 0));
        EXPECT_EQ(probe.number("SELECT count(*) FROM trades"), i);
    }
}

TYPED_TEST(LedgerTrade, ABusyDatabaseFailsThroughTheFlagAfterAFewSeconds)
{
    static_assert(SqliteLedgerStore::kBusyTimeoutMs == PostgresLedgerStore::kLockTimeoutMs);
    TradeLedger<TypeParam> ledger;
    ledger.db.holdWrites();

    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(ledger.insert(true));
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_TRUE(ledger.error.contains(QStringLiteral("使用中"))) << ledger.error.toStdString();
    EXPECT_GE(waited, std::chrono::milliseconds(SqliteLedgerStore::kBusyTimeoutMs / 2));
    EXPECT_LT(waited, std::chrono::milliseconds(SqliteLedgerStore::kBusyTimeoutMs * 3));

    // New master data needs the write lock too; known names do not.
    ProductRecord product;
    product.lngProductID = 9;
    ledger.store->ResolveProduct(QStringLiteral("新製品"), product, ledger.error, ledger.failed);
    EXPECT_TRUE(ledger.failed);
    EXPECT_EQ(product.lngProductID, 0);
    ledger.store->ResolveProduct(QStringLiteral("液晶モニター"), product, ledger.error, ledger.failed);
    EXPECT_FALSE(ledger.failed);
    EXPECT_EQ(product.lngProductID, 1);

    ledger.db.releaseWrites();
    EXPECT_FALSE(ledger.insert(true));
    EXPECT_EQ(ledger.trades().size(), 1);
}

TYPED_TEST(LedgerTrade, MasterRowsRemovedBySomeoneElseAreNoLongerUsed)
{
    TradeLedger<TypeParam> ledger;
    ASSERT_FALSE(ledger.insert(false));
    auto& probe = ledger.db;
    probe.exec("DELETE FROM trades; DELETE FROM customers;");
    EXPECT_TRUE(ledger.insert(false));
    // Resolving the name again adds it anew.
    ledger.store->ResolveCustomer(ledger.customer.strPartyName, ledger.customer, ledger.error, ledger.failed);
    EXPECT_FALSE(ledger.failed);
    ledger.trade.lngCustomerID = ledger.customer.lngPartyID;
    EXPECT_FALSE(ledger.insert(false));
    EXPECT_EQ(probe.number("SELECT count(*) FROM trades"), 1);
}

TYPED_TEST(LedgerTrade, EveryAcceptedTradeOutlivesTheProcessEndingAbruptly)
{
    TypeParam ledger;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The program's own store, ended without releasing it: what was
        // committed must be in the log, not held back in the process.
        const auto owned = ledger.programStore();
        clsLedgerStore& store = *owned;
        QString error;
        bool failed = true;
        store.OpenConnection(ledger.connection(), error, failed);
        ProductRecord product;
        PartyRecord supplier;
        PartyRecord customer;
        TradeRecord trade;
        product.strProductName = QStringLiteral("液晶モニター");
        customer.strPartyName = QStringLiteral("北星電機");
        store.ResolveProduct(product.strProductName, product, error, failed);
        store.ResolveCustomer(customer.strPartyName, customer, error, failed);
        trade.lngProductID = product.lngProductID;
        trade.lngCustomerID = customer.lngPartyID;
        trade.dtmTradeDate = kJan5th2024;
        int accepted = 0;
        for (int i = 1; i <= 50; ++i) {
            trade.lngSalesQuantity = i;
            store.InsertTrade(product, supplier, customer, trade, false, error, failed);
            accepted += failed ? 0 : 1;
        }
        _exit(accepted);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 50);
    EXPECT_EQ(ledger.number("SELECT count(*) FROM trades"), 50);
    EXPECT_EQ(ledger.number("SELECT sum(quantity) FROM trades"), 50 * 51 / 2);
    if constexpr (TypeParam::kIsSqlite) {
        EXPECT_EQ(ledger.value("PRAGMA integrity_check"), QStringLiteral("ok"));
    }
}
