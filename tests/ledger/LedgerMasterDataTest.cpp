#include "LedgerUnderTest.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

ProductRecord Product(const QString& name, int32_t kindCode = 0)
{
    ProductRecord product;
    product.lngKindCode = kindCode;
    product.strMaker = QStringLiteral("ソニック電子");
    product.strReading = QStringLiteral("えきしょうもにたー");
    product.strProductName = name;
    product.strModel = QStringLiteral("LM-24W");
    product.strSpec = QStringLiteral("24型　ワイド");
    return product;
}

PartyRecord Party(const QString& name, const QString& reading)
{
    PartyRecord party;
    party.strReading = reading;
    party.strPartyName = name;
    return party;
}

template <typename Ledger>
class LedgerMasterData : public ::testing::Test {
};
TYPED_TEST_SUITE(LedgerMasterData, LedgerKinds, LedgerKindName);

}  // namespace

TYPED_TEST(LedgerMasterData, ProductsAreAddedOnceWithTheirTextsAndFoundAfterwards)
{
    OpenStore<TypeParam> ledger;
    ASSERT_FALSE(ledger.failed);
    QString error = QStringLiteral("old");
    bool failed = true;
    ProductRecord first = Product(QStringLiteral("液晶モニター"), 3);
    ledger.store->ResolveProduct(first.strProductName, first, error, failed);
    EXPECT_FALSE(failed);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(first.lngProductID, 1);

    ProductRecord other = Product(QStringLiteral("ＵＳＢケーブル"));
    ledger.store->ResolveProduct(other.strProductName, other, error, failed);
    EXPECT_EQ(other.lngProductID, 2);

    // Known again, by a second store too, with different texts that must not overwrite.
    ProductRecord again = Product(QStringLiteral("液晶モニター"));
    again.strMaker = QStringLiteral("別メーカー");
    again.lngProductID = 99;
    ledger.store->ResolveProduct(again.strProductName, again, error, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(again.lngProductID, 1);
    const auto second = ledger.db.makeStore();
    second->OpenConnection(ledger.db.connection(), error, failed);
    again.lngProductID = 0;
    second->ResolveProduct(again.strProductName, again, error, failed);
    EXPECT_EQ(again.lngProductID, 1);

    // The kind code waits for the trade: the record holds the previous line's.
    EXPECT_EQ(
        ledger.db.rows("SELECT product_id, name, kind_code, maker, reading, model, spec FROM products ORDER BY 1"),
        QStringList({"1|液晶モニター|NULL|ソニック電子|えきしょうもにたー|LM-24W|24型　ワイド",
                     "2|ＵＳＢケーブル|NULL|ソニック電子|えきしょうもにたー|LM-24W|24型　ワイド"}));
}

TYPED_TEST(LedgerMasterData, AnEmptyNameFailsAndLeavesNoId)
{
    OpenStore<TypeParam> ledger;
    ASSERT_FALSE(ledger.failed);
    QString error;
    bool failed = false;
    ProductRecord product = Product(QString());
    product.lngProductID = 5;
    ledger.store->ResolveProduct(QString(), product, error, failed);
    EXPECT_TRUE(failed);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(product.lngProductID, 0);

    for (const bool supplier : {true, false}) {
        PartyRecord party = Party(QString(), QStringLiteral("とうわしょうじ"));
        party.lngPartyID = 5;
        failed = false;
        error.clear();
        if (supplier)
            ledger.store->ResolveSupplier(QString(), party, error, failed);
        else
            ledger.store->ResolveCustomer(QString(), party, error, failed);
        EXPECT_TRUE(failed);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(party.lngPartyID, 0);
    }
    EXPECT_EQ(ledger.db.number("SELECT (SELECT count(*) FROM products) + (SELECT count(*) FROM suppliers)"
                               " + (SELECT count(*) FROM customers)"),
              0);
}

TYPED_TEST(LedgerMasterData, SuppliersAndCustomersAreSeparateTables)
{
    OpenStore<TypeParam> ledger;
    ASSERT_FALSE(ledger.failed);
    QString error;
    bool failed = true;
    PartyRecord supplier = Party(QStringLiteral("東和商事株式会社"), QStringLiteral("とうわしょうじ"));
    ledger.store->ResolveSupplier(supplier.strPartyName, supplier, error, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(supplier.lngPartyID, 1);

    PartyRecord customer = Party(QStringLiteral("東和商事株式会社"), QStringLiteral("とうわ"));
    failed = true;
    ledger.store->ResolveCustomer(customer.strPartyName, customer, error, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(customer.lngPartyID, 1);

    PartyRecord next = Party(QStringLiteral("北星電機"), QStringLiteral("ほくせいでんき"));
    ledger.store->ResolveCustomer(next.strPartyName, next, error, failed);
    EXPECT_EQ(next.lngPartyID, 2);
    PartyRecord known = Party(QStringLiteral("東和商事株式会社"), QStringLiteral("ちがう"));
    ledger.store->ResolveCustomer(known.strPartyName, known, error, failed);
    EXPECT_EQ(known.lngPartyID, 1);

    EXPECT_EQ(ledger.db.rows("SELECT supplier_id, name, reading FROM suppliers"),
              QStringList({"1|東和商事株式会社|とうわしょうじ"}));
    EXPECT_EQ(ledger.db.rows("SELECT customer_id, name, reading FROM customers ORDER BY 1"),
              QStringList({"1|東和商事株式会社|とうわ", "2|北星電機|ほくせいでんき"}));
}

// One master per name however it is written, and each stored exactly as
// its first line wrote it.
TYPED_TEST(LedgerMasterData, NamesWrittenAnotherWayResolveToOneMasterAndNothingElseFolds)
{
    OpenStore<TypeParam> ledger;
    ASSERT_FALSE(ledger.failed);
    // Each group is one master; the groups are all apart.
    const std::vector<QStringList> groups = {
        {QStringLiteral("ＡＢＣ商事"), QStringLiteral("ABC 商事"), QStringLiteral("ABC商事"),
         QStringLiteral("ＡＢＣ　商事")},
        {QStringLiteral("abc商事")},
        {QStringLiteral("㈱青葉"), QStringLiteral("(株)青葉"), QStringLiteral("（株）青葉"),
         QStringLiteral("株式会社青葉")},
        {QStringLiteral("青葉株式会社"), QStringLiteral("青葉㈱")},
        {QStringLiteral("㈲丸山"), QStringLiteral("(有) 丸山"), QStringLiteral("有限会社丸山")},
        {QStringLiteral("ｹｰﾌﾞﾙ"), QStringLiteral("ケーブル"), QStringLiteral(" ケーブル")},
        {QStringLiteral("けーぶる")},
        {QStringLiteral("𠮷野家モデル")},
        // What a UTF-16 reader would take for a byte order mark is no space.
        {QStringLiteral("\uFFFE丸山商会")},
        {QStringLiteral("\uFEFF丸山商会")},
        {QStringLiteral("丸山商会")},
    };
    QString error;
    bool failed = false;
    QStringList stored;
    QSet<int32_t> masters;
    for (const QStringList& group : groups) {
        stored << group.front();
        int32_t first = 0;
        for (const QString& name : group) {
            ProductRecord product = Product(name);
            ledger.store->ResolveProduct(name, product, error, failed);
            PartyRecord customer;
            customer.strReading = name;
            ledger.store->ResolveCustomer(name, customer, error, failed);
            const int32_t kind = ledger.store->GetKindCode(name);
            if (first == 0)
                first = product.lngProductID;
            EXPECT_EQ(product.lngProductID, first) << name.toStdString();
            EXPECT_EQ(customer.lngPartyID, product.lngProductID) << name.toStdString();
            EXPECT_EQ(kind, product.lngProductID) << name.toStdString();
        }
        EXPECT_FALSE(masters.contains(first)) << group.front().toStdString();
        masters.insert(first);
    }
    for (const char* sql :
         {"SELECT name FROM products ORDER BY product_id", "SELECT name FROM customers ORDER BY customer_id",
          "SELECT reading FROM customers ORDER BY customer_id", "SELECT name FROM kinds ORDER BY kind_code"})
        EXPECT_EQ(ledger.db.rows(QString::fromUtf8(sql)), stored) << sql;
}

TYPED_TEST(LedgerMasterData, KindCodesAreZeroForNothingAndAddedOnce)
{
    OpenStore<TypeParam> ledger;
    ASSERT_FALSE(ledger.failed);
    EXPECT_EQ(ledger.store->GetKindCode(QString()), 0);
    EXPECT_EQ(ledger.store->GetKindCode(QStringLiteral("モニター")), 1);
    EXPECT_EQ(ledger.store->GetKindCode(QStringLiteral("ケーブル")), 2);
    EXPECT_EQ(ledger.store->GetKindCode(QStringLiteral("モニター")), 1);
    const auto second = ledger.db.makeStore();
    QString error;
    bool failed = true;
    second->OpenConnection(ledger.db.connection(), error, failed);
    EXPECT_EQ(second->GetKindCode(QStringLiteral("ケーブル")), 2);
    EXPECT_EQ(ledger.db.rows("SELECT kind_code, name FROM kinds ORDER BY 1"),
              QStringList({"1|モニター", "2|ケーブル"}));
}

// An empty ledger is made once, however many programs start on it at the same moment.
TYPED_TEST(LedgerMasterData, StoresOpeningANewLedgerTogetherAllGetTheOneLedger)
{
    TypeParam ledger;
    constexpr int kStores = 6;
    std::vector<Opened> opened(kStores);
    std::vector<int32_t> kinds(kStores);
    {
        std::vector<std::thread> stores;
        for (std::size_t i = 0; i < kStores; ++i)
            stores.emplace_back([&, i] {
                const std::unique_ptr<clsLedgerStore> store = ledger.makeStore();
                store->OpenConnection(ledger.connection(), opened[i].error, opened[i].failed);
                kinds[i] = store->GetKindCode(QStringLiteral("モニター"));
            });
        for (std::thread& store : stores)
            store.join();
    }
    for (std::size_t i = 0; i < kStores; ++i) {
        EXPECT_FALSE(opened[i].failed) << opened[i].error.toStdString();
        EXPECT_GT(kinds[i], 0);
        EXPECT_EQ(kinds[i], kinds[0]);
    }
    EXPECT_EQ(ledger.number(QStringLiteral("SELECT count(*) FROM kinds")), 1);
    if constexpr (TypeParam::kIsSqlite) {
        // The creations that lost the race removed their own files.
        EXPECT_EQ(QFileInfo(ledger.path()).dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("iOrvanta.mdb")});
    } else {
        EXPECT_EQ(ledger.tables(),
                  QStringLiteral("customers,import_patterns,kinds,ledger_mark,line_reasons,matched_names,products,"
                                 "rejected_lines,runs,skipped_lines,suppliers,trades"));
        EXPECT_EQ(ledger.rows(QStringLiteral("SELECT * FROM ledger_mark")),
                  QStringList{QStringLiteral("MoraImport|%1").arg(TypeParam::kSchemaVersionForTests)});
    }
}
