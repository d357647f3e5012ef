#include "ImportFixtures.h"
#include "LedgerUnderTest.h"
#include "RecordingDesktop.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

// One sales line: its day in May 2024, product, customer and quantity.
QString Sale(int day, const QString& product, const QString& customer, int quantity = 1)
{
    return QStringLiteral("2024/5/%1,モニター,ソニック,よみ,%2,M-1,,%3,1000,よみ,%4").arg(day).arg(product).arg(quantity).arg(customer);
}

// Files imported by the engine as the window imports them: the header, the
// repeat and the line checks (answered by the desktop), then the run.
template <typename Ledger>
class LedgerOverlap : public ::testing::Test {
protected:
    // The prompts the clerk saw.
    QStringList Import(const QStringList& lines, int answer = IDYES) { return ImportInto(ledger, lines, answer); }
    QStringList ImportInto(Ledger& into, const QStringList& lines, int answer = IDYES)
    {
        return ImportFile(into, dir.writeUtf8(QStringLiteral("f%1.csv").arg(++files), Lines(QStringList{kSalesHeader} + lines)),
                          answer);
    }
    QStringList ImportFile(Ledger& into, const QString& file, int answer = IDYES)
    {
        RecordingDesktop desktop;
        desktop.threeWayAnswer = answer;
        desktop.answer = IDYES;
        clsImportSource engine(desktop, [&into] { return into.programStore(); });
        if (!engine.IMPFileCheck(file) && !engine.IMPRepeatCheck(file, into.connection()) &&
            !engine.IMPLineCheck(file, into.connection()))
            engine.ExecImport(file, into.connection());
        details = desktop.messages.empty() ? QString() : desktop.messages.back().details;
        return desktop.prompts();
    }
    long long Trades() { return ledger.number(QStringLiteral("SELECT count(*) FROM trades")); }
    // What the look before an import says of each data line: "line|outcome|detail".
    QStringList Look(Ledger& at, const QString& file)
    {
        RecordingDesktop desktop;
        clsImportSource engine(desktop, [&at] { return at.programStore(); });
        const std::optional<std::vector<LineCheck>> rows = engine.CheckFile(file, at.connection());
        EXPECT_TRUE(rows.has_value());
        EXPECT_TRUE(desktop.prompts().isEmpty()) << desktop.prompts().join(u'\n').toStdString();
        QStringList seen;
        for (const LineCheck& row : rows.value_or(std::vector<LineCheck>()))
            seen << QStringLiteral("%1|%2|%3").arg(row.lngLineNumber).arg(int(row.outcome)).arg(row.strDetail);
        return seen;
    }

    Ledger ledger;
    ScratchDir dir;
    int files = 0;
    QString details;
};
TYPED_TEST_SUITE(LedgerOverlap, LedgerKinds, LedgerKindName);

QString Question(int inLedger, int total)
{
    return QStringLiteral("このファイルの %1 行は台帳にある取引と同じです（全レコード %2 件）。新しい %3 行だけ取り込みますか？")
        .arg(inLedger)
        .arg(total)
        .arg(total - inLedger);
}

}  // namespace

TYPED_TEST(LedgerOverlap, LinesAlreadyInTheLedgerAreLeftOutCountedNotCollapsed)
{
    const QString a = Sale(1, QStringLiteral("液晶モニター"), QStringLiteral("北星電機"));
    const QString b = Sale(2, QStringLiteral("液晶モニター"), QStringLiteral("北星電機"));
    const QString c = Sale(3, QStringLiteral("ケーブル"), QStringLiteral("青葉商店"));
    const QString d = Sale(4, QStringLiteral("ケーブル"), QStringLiteral("青葉商店"), 2);
    const struct {
        const char* what;
        QStringList earlier;
        bool undoEarlier;
        QStringList file;
        int inLedger;  // the question's N, 0 when none is asked
        int imported;
    } cases[] = {
        {"a shared middle", {a, b, c}, false, {b, c, d}, 2, 1},
        {"genuine repeats on both sides", {a, a, b}, false, {a, a, a, b, b}, 3, 2},
        {"an earlier run undone", {a, b}, true, {a, b}, 0, 2},
        {"a party written another way",
         {Sale(5, QStringLiteral("ＨＤＭＩケーブル"), QStringLiteral("ＡＢＣ商事"))}, false,
         {Sale(5, QStringLiteral("HDMIケーブル"), QStringLiteral("ABC 商事"))}, 1, 0},
        {"a line repeated inside the file alone", {}, false, {d, d}, 0, 2},
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(one.what);
        TypeParam ledger;
        if (!one.earlier.isEmpty()) {
            this->ImportInto(ledger, one.earlier);
            if (one.undoEarlier)
                ledger.history()->UndoRun(ledger.number(QStringLiteral("SELECT max(run_id) FROM runs")), {});
        }
        const auto trades = [&] { return ledger.number(QStringLiteral("SELECT count(*) FROM trades")); };
        const long long before = one.earlier.isEmpty() ? 0 : trades();
        QStringList expected;
        if (one.inLedger > 0)
            expected << Question(one.inLedger, int(one.file.size()));
        expected << Totals(int(one.file.size()), one.imported);
        EXPECT_EQ(this->ImportInto(ledger, one.file), expected);
        EXPECT_EQ(trades() - before, one.imported);
        EXPECT_EQ(ledger.number(QStringLiteral("SELECT lines_skipped FROM runs ORDER BY run_id DESC LIMIT 1")),
                  one.inLedger);
    }
}

TYPED_TEST(LedgerOverlap, TheClerkChoosesEveryLineOrNothingAndIsToldWhatWasLeftOut)
{
    const QStringList first = {Sale(1, QStringLiteral("液晶モニター"), QStringLiteral("北星電機")),
                               Sale(2, QStringLiteral("ｹｰﾌﾞﾙ"), QStringLiteral("青葉商店"))};
    this->Import(first);
    const QStringList again = {first[0], Sale(3, QStringLiteral("ケーブル"), QStringLiteral("青葉商店"))};
    // Cancel: nothing at all; No: every line.
    EXPECT_EQ(this->Import(again, IDCANCEL), QStringList{Question(1, 2)});
    EXPECT_EQ(this->Trades(), 2);
    EXPECT_EQ(this->Import(again, IDNO), QStringList({Question(1, 2), Totals(2, 2)}));
    EXPECT_EQ(this->Trades(), 4);
    // Yes: the new line, and the details say which lines and names.
    EXPECT_EQ(this->Import({again[1], Sale(4, QStringLiteral("ケーブル"), QStringLiteral("青葉商店"))}),
              QStringList({Question(1, 2), Totals(2, 1)}));
    EXPECT_EQ(this->details, QStringLiteral("2 行目: 取り込み済みの取引と同じため取り込みませんでした（取り込み 2 の 3 行目）。\n"
                                            "製品「ケーブル」→「ｹｰﾌﾞﾙ」"));
    EXPECT_EQ(this->ledger.rows(QStringLiteral("SELECT line_number, matched_run_id, matched_line_number FROM skipped_lines")),
              QStringList{"2|2|3"});
}

TYPED_TEST(LedgerOverlap, TwoClerksImportingOverlappingFilesAtOnceAddTheSharedLinesOnce)
{
    const QString shared = Sale(1, QStringLiteral("液晶モニター"), QStringLiteral("北星電機"));
    RecordingDesktop firstClerk;
    RecordingDesktop secondClerk;
    const QString one = this->dir.writeUtf8(QStringLiteral("one.csv"), Lines({kSalesHeader, shared, Sale(2, QStringLiteral("a"), QStringLiteral("b"))}));
    const QString two = this->dir.writeUtf8(QStringLiteral("two.csv"), Lines({kSalesHeader, shared, Sale(3, QStringLiteral("c"), QStringLiteral("d"))}));
    const auto store = [this] { return this->ledger.programStore(); };
    clsImportSource first(firstClerk, store);
    clsImportSource second(secondClerk, store);
    // Both look before either imports: neither finds the shared line.
    for (auto [engine, file] : {std::pair{&first, one}, std::pair{&second, two}}) {
        ASSERT_FALSE(engine->IMPFileCheck(file));
        ASSERT_FALSE(engine->IMPRepeatCheck(file, this->ledger.connection()));
        ASSERT_FALSE(engine->IMPLineCheck(file, this->ledger.connection()));
    }
    first.ExecImport(one, this->ledger.connection());
    second.ExecImport(two, this->ledger.connection());
    EXPECT_EQ(secondClerk.prompts(), QStringList{Totals(2, 1)});
    EXPECT_EQ(this->Trades(), 3);
}

TYPED_TEST(LedgerOverlap, TheLookBeforeAnImportSaysOfEachLineWhatWouldBecomeOfItAndWritesNothing)
{
    this->Import({Sale(1, QStringLiteral("液晶モニター"), QStringLiteral("ＡＢＣ商事"))});
    const long long runs = this->ledger.number(QStringLiteral("SELECT count(*) FROM runs"));
    const QString file = this->dir.writeUtf8(
        QStringLiteral("look.csv"),
        Lines({kSalesHeader, Sale(1, QStringLiteral("液晶モニター"), QStringLiteral("ABC商事")),
               Sale(2, QStringLiteral("マウス"), QStringLiteral("ABC 商事")), Sale(3, QStringLiteral("マウス"), QStringLiteral("南海商会")),
               QStringLiteral("2024/13/1,モニター,ソニック,よみ,x,M-1,,1,1000,,y"),
               QStringLiteral("2024/5/5,モニター,ソニック,よみ,,M-1,,1,1000,,y")}));
    EXPECT_EQ(this->Look(this->ledger, file),
              QStringList({QStringLiteral("2|1|取り込み 1 の 2 行目"),
                           QStringLiteral("3|0|新しい製品「マウス」 / 販売先「ABC 商事」→「ＡＢＣ商事」"),
                           QStringLiteral("4|0|新しい販売先「南海商会」"), QStringLiteral("5|2|日付「2024/13/1」: 型が一致しません。"),
                           QStringLiteral("6|2|製品名が空です。")}));
    EXPECT_EQ(this->ledger.number(QStringLiteral("SELECT count(*) FROM runs")), runs);
    EXPECT_EQ(this->ledger.number(QStringLiteral("SELECT count(*) FROM products")), 1);
}

namespace {

// A trade line of either mode with one field put in its place.
QString LineWith(int column, const QString& value)
{
    QStringList fields = QStringLiteral("2024/5/2,予備,ソニック,よみ,新モニター,M-2,,1,1000,よみ,新商会").split(u',');
    fields[column - 1] = value;
    return fields.join(u',');
}

}  // namespace

// A ledger made before the keys may hold two masters of one key: a name
// stored exactly as a line gives it is that master, and the line's trade is
// looked for among the stored trades of every master of its keys.
TYPED_TEST(LedgerOverlap, AKeyWithTwoMastersGivesTheExactOneAndFindsTheTradesOfEither)
{
    const QString olderProduct = QStringLiteral("ＨＤＭＩケーブル");
    const QString newerProduct = QStringLiteral("HDMIケーブル");
    const QString olderParty = QStringLiteral("ＡＢＣ商事");
    const QString newerParty = QStringLiteral("ABC商事");
    const struct {
        const char* what;
        QString storedProduct, storedParty;  // as the earlier file wrote them
        QString product, party;              // as the file looked at writes them
    } cases[] = {
        {"the newer names exactly", newerProduct, newerParty, newerProduct, newerParty},
        {"the older names exactly", olderProduct, olderParty, olderProduct, olderParty},
        {"a third way", newerProduct, newerParty, QStringLiteral("HDMI ケーブル"), QStringLiteral("ABC 商事")},
        {"the other master of each key", olderProduct, newerParty, newerProduct, olderParty},
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(one.what);
        TypeParam ledger;
        QString error;
        bool failed = true;
        ledger.makeStore()->OpenConnection(ledger.connection(), error, failed);
        ASSERT_FALSE(failed) << error.toStdString();
        ledger.exec(QStringLiteral("INSERT INTO products(name, name_key, maker, reading, model, spec) VALUES"
                                   " ('ＨＤＭＩケーブル', 'HDMIケーブル', '', '', '', ''),"
                                   " ('HDMIケーブル', 'HDMIケーブル', '', '', '', '');"
                                   " INSERT INTO customers(name, name_key, reading) VALUES"
                                   " ('ＡＢＣ商事', 'ABC商事', ''), ('ABC商事', 'ABC商事', '')"));
        this->ImportInto(ledger, {Sale(5, one.storedProduct, one.storedParty)});
        EXPECT_EQ(ledger.value(QStringLiteral("SELECT p.name || '|' || c.name FROM trades t"
                                              " JOIN products p USING (product_id) JOIN customers c USING (customer_id)")),
                  one.storedProduct + u'|' + one.storedParty);
        EXPECT_EQ(this->ImportInto(ledger, {Sale(5, one.product, one.party), Sale(6, one.product, one.party)}),
                  QStringList({Question(1, 2), Totals(2, 1)}));
        EXPECT_EQ(ledger.number(QStringLiteral("SELECT count(*) FROM trades")), 2);
        EXPECT_EQ(ledger.number(QStringLiteral("SELECT (SELECT count(*) FROM products)"
                                               " + (SELECT count(*) FROM customers)")),
                  4);
    }
}

namespace {

template <typename Ledger>
void SetSchemaVersion(Ledger& ledger, int version)
{
    if constexpr (Ledger::kIsSqlite)
        ledger.exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
    else
        ledger.exec(QStringLiteral("UPDATE ledger_mark SET schema_version = %1").arg(version));
}

}  // namespace

// Code page 932 and UTF-8 write 〜 apart: a product stored from UTF-8 text
// by version 4, its key holding U+301C, is found by a line saved as code
// page 932 (U+FF5E) once the ledger is upgraded.
TYPED_TEST(LedgerOverlap, AfterTheUpgradeALineSavedAsCp932IsInTheLedgerThatItsUtf8TwinBrought)
{
    const QString adapter = QStringLiteral("ACアダプター 100〜240V");
    ASSERT_TRUE(adapter.contains(QChar(0x301C)));
    this->Import({Sale(1, adapter, QStringLiteral("北星電機"))});
    // As version 4 left it: the key of UTF-8's 〜, no index of the lines skipped by the run they match.
    this->ledger.exec(QStringLiteral("UPDATE products SET name_key = 'ACアダプター100\u301C240V'"));
    this->ledger.exec(QStringLiteral("DROP INDEX skipped_lines_matched"));
    SetSchemaVersion(this->ledger, 4);

    const QString party = QStringLiteral("北星電機");
    const QString file =
        this->dir.writeCp932(QStringLiteral("cp932.csv"), Lines({kSalesHeader, Sale(1, adapter, party), Sale(2, adapter, party)}));
    // The name matched another way is told at the first new line.
    EXPECT_EQ(this->Look(this->ledger, file),
              QStringList({QStringLiteral("2|1|取り込み 1 の 2 行目"),
                           QStringLiteral("3|0|製品「ACアダプター 100\uFF5E240V」→「") + adapter + u'」'}));
    EXPECT_EQ(this->ImportFile(this->ledger, file), QStringList({Question(1, 2), Totals(2, 1)}));
    EXPECT_EQ(this->ledger.rows(QStringLiteral("SELECT name, name_key FROM products")),
              QStringList{adapter + QStringLiteral("|ACアダプター100~240V")});
    EXPECT_EQ(this->Trades(), 2);
    const QString index = TypeParam::kIsSqlite
                              ? QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'skipped_lines_matched'")
                              : QStringLiteral("SELECT count(*) FROM pg_indexes WHERE schemaname = current_schema()"
                                               " AND indexname = 'skipped_lines_matched'");
    EXPECT_EQ(this->ledger.number(index), 1);
}

// A name the ledger cannot store, whichever master it names, refuses its
// line for its own reason, as the look before the import says; the line
// adds none of its names.
TYPED_TEST(LedgerOverlap, ALineNamingANameTooLongToStoreIsRefusedForIt)
{
    const QString tooLong(301, QChar(u'長'));
    const auto reason = [](const char* what) {
        return QStringLiteral("%1「%2…」の名前が長すぎます（全角 300 文字まで）。")
            .arg(QString::fromUtf8(what), QString(20, QChar(u'長')));
    };
    const struct {
        const char* what;
        bool purchase;
        int column;
    } cases[] = {
        {"種別", false, 2},
        {"製品", false, 5},
        {"販売先", false, 11},
        {"仕入先", true, 11},
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(one.what);
        TypeParam ledger;
        const QString good = QStringLiteral("2024/5/1,表示,ソニック,よみ,液晶モニター,M-1,,1,1000,よみ,北星電機");
        const QString path = this->dir.writeUtf8(
            QStringLiteral("long%1%2.csv").arg(one.column).arg(one.purchase),
            Lines({one.purchase ? kPurchaseHeader : kSalesHeader, LineWith(one.column, tooLong), good}));
        const QString party = one.purchase ? QStringLiteral("仕入先") : QStringLiteral("販売先");
        EXPECT_EQ(this->Look(ledger, path),
                  QStringList({QStringLiteral("2|2|") + reason(one.what),
                               QStringLiteral("3|0|新しい製品「液晶モニター」 / 新しい%1「北星電機」 / 新しい種別「表示」").arg(party)}));
        EXPECT_EQ(this->ImportFile(ledger, path), QStringList{Totals(2, 1)});
        EXPECT_EQ(ledger.rows(QStringLiteral("SELECT l.line_number, x.code, x.reason"
                                             " FROM rejected_lines l JOIN line_reasons x USING (reject_id)")),
                  QStringList{QStringLiteral("2||") + reason(one.what)});
        EXPECT_EQ(ledger.rows(QStringLiteral("SELECT name FROM products UNION ALL SELECT name FROM kinds"
                                             " UNION ALL SELECT name FROM suppliers UNION ALL SELECT name FROM customers")),
                  QStringList({QStringLiteral("液晶モニター"), QStringLiteral("表示"), QStringLiteral("北星電機")}));
    }
}

// A run adds only the masters its trades use: not a kind named for a
// product that has one already (or is given one by an earlier line), nor
// the names of a line it refuses. The look tells only what is added.
TYPED_TEST(LedgerOverlap, ARunAddsOnlyTheKindsItsProductsTake)
{
    this->Import({QStringLiteral("2024/5/1,表示,ソニック,よみ,液晶モニター,M-1,,1,1000,よみ,北星電機")});
    const QString file = this->dir.writeUtf8(
        QStringLiteral("kinds.csv"),
        Lines({kSalesHeader, QStringLiteral("2024/5/2,予備,ソニック,よみ,液晶モニター,M-1,,1,1000,よみ,北星電機"),
               QStringLiteral("2024/5/3,部品,ソニック,よみ,ケーブル,C-1,,1,500,よみ,北星電機"),
               QStringLiteral("2024/5/4,配線,ソニック,よみ,ケーブル,C-1,,1,500,よみ,北星電機"),
               LineWith(11, QString(301, QChar(u'長')))}));
    EXPECT_EQ(this->Look(this->ledger, file),
              QStringList({QStringLiteral("2|0|"), QStringLiteral("3|0|新しい製品「ケーブル」 / 新しい種別「部品」"),
                           QStringLiteral("4|0|"),
                           QStringLiteral("5|2|販売先「%1…」の名前が長すぎます（全角 300 文字まで）。").arg(QString(20, QChar(u'長')))}));
    EXPECT_EQ(this->ImportFile(this->ledger, file), QStringList{Totals(4, 3)});
    EXPECT_EQ(this->ledger.rows(QStringLiteral("SELECT p.name || '|' || coalesce(k.name, '-') FROM products p"
                                               " LEFT JOIN kinds k USING (kind_code) ORDER BY p.product_id")),
              QStringList({QStringLiteral("液晶モニター|表示"), QStringLiteral("ケーブル|部品")}));
    EXPECT_EQ(this->ledger.rows(QStringLiteral("SELECT name FROM kinds ORDER BY kind_code")),
              QStringList({QStringLiteral("表示"), QStringLiteral("部品")}));
}
