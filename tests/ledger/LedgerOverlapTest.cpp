#include "HistoryTexts.h"
#include "ImportFixtures.h"
#include "LedgerUnderTest.h"
#include "RecordingDesktop.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

// One sales line: its day in May 2024, product, customer and quantity.
QString Sale(int day, const QString& product, const QString& customer, int quantity = 1)
{
    return QStringLiteral("2024/5/%1,モニター,ソニック,よみ,%2,M-1,,%3,1000,よみ,%4")
        .arg(day)
        .arg(product)
        .arg(quantity)
        .arg(customer);
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
        return ImportFile(
            into, dir.writeUtf8(QStringLiteral("f%1.csv").arg(++files), Lines(QStringList{kSalesHeader} + lines)),
            answer);
    }
    QStringList ImportFile(Ledger& into, const QString& file, int answer = IDYES)
    {
        RecordingDesktop desktop;
        desktop.threeWayAnswer = answer;
        desktop.answer = IDYES;
        clsImportSource engine(desktop, [&into] { return into.programStore(); });
        if (!engine.IMPFileCheck(file) && !engine.IMPRepeatCheck(file, into.connection())
            && !engine.IMPLineCheck(file, into.connection()))
            engine.ExecImport(file, into.connection());
        details = desktop.messages.empty() ? QString() : desktop.messages.back().details;
        informative = desktop.messages.empty() ? QString() : desktop.messages.back().informative;
        questions = desktop.questions;
        nothingNew = engine.NothingNew();
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
        // A place with no ledger yet is said to be so, once; nothing else is said.
        const QStringList said =
            desktop.prompts().filter(QRegularExpression(QStringLiteral("^(?!台帳がまだありません)")));
        EXPECT_TRUE(said.isEmpty()) << said.join(u'\n').toStdString();
        QStringList seen;
        for (const LineCheck& row : rows.value_or(std::vector<LineCheck>()))
            seen << QStringLiteral("%1|%2|%3").arg(row.lngLineNumber).arg(int(row.outcome)).arg(row.strDetail);
        return seen;
    }

    Ledger ledger;
    ScratchDir dir;
    int files = 0;
    QString details;
    QString informative;
    std::vector<Question> questions;
    bool nothingNew = false;
};
TYPED_TEST_SUITE(LedgerOverlap, LedgerKinds, LedgerKindName);

QStringList ChoicesOf(const Question& question)
{
    QStringList texts;
    for (const Choice& choice : question.choices)
        texts << choice.strText;
    return texts;
}

QString LinesQuestion(int inLedger, int total)
{
    return QStringLiteral(
               "このファイルの %1 行は台帳にある取引と同じです（全レコード %2 件）。新しい %3 行だけ取り込みますか？")
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
         {Sale(5, QStringLiteral("ＨＤＭＩケーブル"), QStringLiteral("ＡＢＣ商事"))},
         false,
         {Sale(5, QStringLiteral("HDMIケーブル"), QStringLiteral("ABC 商事")), d},
         1,
         1},
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
            expected << LinesQuestion(one.inLedger, int(one.file.size()));
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
    EXPECT_EQ(this->Import(again, IDCANCEL), QStringList{LinesQuestion(1, 2)});
    EXPECT_EQ(this->Trades(), 2);
    EXPECT_EQ(this->Import(again, IDNO), QStringList({LinesQuestion(1, 2), Totals(2, 2)}));
    EXPECT_EQ(this->Trades(), 4);
    EXPECT_EQ(this->informative,
              QStringLiteral("取り込んだ行: 2 件\n台帳にある取引と同じ 1 行も、選んだとおりもう一度取り込みました。"));
    // Yes: the new line, and the details say which lines and names.
    EXPECT_EQ(this->Import({again[1], Sale(4, QStringLiteral("ケーブル"), QStringLiteral("青葉商店"))}),
              QStringList({LinesQuestion(1, 2), Totals(2, 1)}));
    EXPECT_EQ(this->details,
              QStringLiteral("2 行目: 取り込み済みの取引と同じため取り込みませんでした（取り込み 2 の 3 行目）。\n"
                             "製品「ケーブル」→「ｹｰﾌﾞﾙ」"));
    EXPECT_EQ(
        this->ledger.rows(QStringLiteral("SELECT line_number, matched_run_id, matched_line_number FROM skipped_lines")),
        QStringList{"2|2|3"});
}

TYPED_TEST(LedgerOverlap, TwoClerksImportingOverlappingFilesAtOnceAddTheSharedLinesOnce)
{
    const QString shared = Sale(1, QStringLiteral("液晶モニター"), QStringLiteral("北星電機"));
    RecordingDesktop firstClerk;
    RecordingDesktop secondClerk;
    const QString one = this->dir.writeUtf8(
        QStringLiteral("one.csv"), Lines({kSalesHeader, shared, Sale(2, QStringLiteral("a"), QStringLiteral("b"))}));
    const QString two = this->dir.writeUtf8(
        QStringLiteral("two.csv"), Lines({kSalesHeader, shared, Sale(3, QStringLiteral("c"), QStringLiteral("d"))}));
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
    const QString file =
        this->dir.writeUtf8(QStringLiteral("look.csv"),
                            Lines({kSalesHeader, Sale(1, QStringLiteral("液晶モニター"), QStringLiteral("ABC商事")),
                                   Sale(2, QStringLiteral("マウス"), QStringLiteral("ABC 商事")),
                                   Sale(3, QStringLiteral("マウス"), QStringLiteral("南海商会")),
                                   QStringLiteral("2024/13/1,モニター,ソニック,よみ,x,M-1,,1,1000,,y"),
                                   QStringLiteral("2024/5/5,モニター,ソニック,よみ,,M-1,,1,1000,,y")}));
    EXPECT_EQ(this->Look(this->ledger, file),
              QStringList({QStringLiteral("2|1|取り込み 1 の 2 行目"),
                           QStringLiteral("3|0|新しい製品「マウス」 / 販売先「ABC 商事」→「ＡＢＣ商事」"),
                           QStringLiteral("4|0|新しい販売先「南海商会」"),
                           QStringLiteral("5|2|日付「2024/13/1」: 型が一致しません。"),
                           QStringLiteral("6|2|製品名が空です。")}));
    EXPECT_EQ(this->ledger.number(QStringLiteral("SELECT count(*) FROM runs")), runs);
    EXPECT_EQ(this->ledger.number(QStringLiteral("SELECT count(*) FROM products")), 1);
}

TYPED_TEST(LedgerOverlap, AnUndoKeepsEveryLineThatALaterRunCountedAsInTheLedger)
{
    QStringList month;
    for (int day = 1; day <= 6; ++day)
        month << Sale(day, QStringLiteral("液晶モニター"), QStringLiteral("北星電機"));
    this->Import(month.mid(0, 3));
    this->Import(month);  // the new lines only: run 2 counts run 1's three as its own
    this->Import({Sale(9, QStringLiteral("マウス"), QStringLiteral("南海商会"))});
    auto history = this->ledger.history();
    using Outcome = clsLedgerHistory::UndoOutcome;

    const clsLedgerHistory::UndoResult refused = history->UndoRun(1, {});
    EXPECT_EQ(refused.outcome, Outcome::ReliedOn);
    ASSERT_EQ(refused.relyingRuns.size(), 1u);
    EXPECT_EQ(refused.relyingRuns[0].lngRunId, 2);
    EXPECT_EQ(refused.relyingRuns[0].lngTrades, 3);
    EXPECT_EQ(ReliedOnText(refused.relyingRuns),
              QStringLiteral("取り込み 2 がこの取り込みの取引 3 件を取り込み済みとして数えています。"
                             "先に取り込み 2 を取り消してください。"));
    EXPECT_EQ(this->Trades(), 7);
    EXPECT_EQ(this->ledger.number(QStringLiteral("SELECT count(*) FROM runs WHERE undone IS NOT NULL")), 0);

    // A run nothing relies on goes; once the one that relied is undone, so does the first.
    EXPECT_EQ(history->UndoRun(3, {}).outcome, Outcome::Undone);
    EXPECT_EQ(history->UndoRun(2, {}).outcome, Outcome::Undone);
    EXPECT_EQ(this->Trades(), 3);
    EXPECT_EQ(history->UndoRun(1, {}).outcome, Outcome::Undone);
    EXPECT_EQ(this->Trades(), 0);
}

// The question counts as new only what would go in; a file with nothing
// new asks whether to import it all again, and by default writes nothing.
TYPED_TEST(LedgerOverlap, TheQuestionsCountWhatWouldGoInAndNameWhatEachButtonDoes)
{
    const QString a = Sale(1, QStringLiteral("液晶モニター"), QStringLiteral("北星電機"));
    const QString b = Sale(2, QStringLiteral("ケーブル"), QStringLiteral("青葉商店"));
    const QString badDate = QStringLiteral("2024/13/1,モニター,ソニック,よみ,x,M-1,,1,1000,,y");
    this->Import({a, b});
    const QDateTime started = this->ledger.history()->Run(1)->dtmStarted;

    EXPECT_EQ(this->Import({a, b, badDate, Sale(3, QStringLiteral("マウス"), QStringLiteral("南海商会"))}).value(0),
              QStringLiteral("このファイルの 2 行は台帳にある取引と同じで、1 行は取り込めません（全レコード 4 件）。"
                             "新しい 1 行だけ取り込みますか？"));
    ASSERT_EQ(this->questions.size(), 1u);
    EXPECT_EQ(ChoicesOf(this->questions[0]),
              QStringList({QStringLiteral("新しい行だけ取り込む"), QStringLiteral("すべて取り込む"),
                           QStringLiteral("キャンセル")}));
    EXPECT_EQ(this->questions[0].intDefault, 0);
    EXPECT_EQ(this->questions[0].intEscape, 2);

    // Nothing new: the default leaves the file out, and no run is recorded.
    const long long runs = this->ledger.number(QStringLiteral("SELECT count(*) FROM runs"));
    const long long trades = this->Trades();
    RecordingDesktop clerk;  // answers the default: 取り込まない
    const QString file = this->dir.writeUtf8(QStringLiteral("same.csv"), Lines({kSalesHeader, b, a}));
    clsImportSource engine(clerk, [this] { return this->ledger.programStore(); });
    ASSERT_FALSE(engine.IMPFileCheck(file));
    ASSERT_FALSE(engine.IMPRepeatCheck(file, this->ledger.connection()));
    EXPECT_TRUE(engine.IMPLineCheck(file, this->ledger.connection()));
    EXPECT_TRUE(engine.NothingNew());
    EXPECT_EQ(clerk.prompts(),
              QStringList{QStringLiteral("このファイルの 2 行は台帳にある取引と同じです（取り込み 1（%1））。"
                                         "取り込む新しい行はありません。")
                              .arg(started.toString(QStringLiteral("yyyy/MM/dd HH:mm")))});
    ASSERT_EQ(clerk.questions.size(), 1u);
    EXPECT_EQ(ChoicesOf(clerk.questions[0]),
              QStringList({QStringLiteral("すべて取り込む"), QStringLiteral("取り込まない")}));
    EXPECT_EQ(clerk.questions[0].intDefault, 1);
    EXPECT_EQ(this->ledger.number(QStringLiteral("SELECT count(*) FROM runs")), runs);
    EXPECT_EQ(this->Trades(), trades);

    // Chosen on purpose, every line goes in again and the totals say so.
    EXPECT_EQ(this->Import({b, a}, IDYES).value(1), Totals(2, 2));
    EXPECT_EQ(this->informative,
              QStringLiteral("取り込んだ行: 2 件\n台帳にある取引と同じ 2 行も、選んだとおりもう一度取り込みました。"));
    EXPECT_EQ(this->Trades(), trades + 2);
}

// A run's story as the history's detail gives it: every refused line with
// its reasons, every line left out with the trade it matched, the names it
// added and those it matched to stored ones written another way.
TYPED_TEST(LedgerOverlap, ARunsDetailTellsItsWholeStory)
{
    this->Import({Sale(1, QStringLiteral("液晶モニター"), QStringLiteral("ＡＢＣ商事"))});
    this->Import({Sale(1, QStringLiteral("液晶モニター"), QStringLiteral("ＡＢＣ商事")),
                  Sale(2, QStringLiteral("マウス"), QStringLiteral("ABC 商事")),
                  QStringLiteral("2024/13/1,モニター,ソニック,よみ,x,M-1,,1,1000,,y"),
                  Sale(3, QStringLiteral("キーボード"), QStringLiteral("南海商会"))});
    const std::optional<RunDetail> detail = this->ledger.history()->Detail(2);
    ASSERT_TRUE(detail.has_value());
    EXPECT_EQ(detail->run.lngRunId, 2);
    EXPECT_EQ(std::vector<int32_t>(
                  {detail->run.lngRead, detail->run.lngImported, detail->run.lngSkipped, detail->run.lngRefused}),
              std::vector<int32_t>({4, 2, 1, 1}));
    ASSERT_EQ(detail->rejects.lines.size(), 1u);
    EXPECT_EQ(detail->rejects.lines[0].lngLineNumber, 4);
    ASSERT_EQ(detail->rejects.lines[0].reasons.size(), 1u);
    EXPECT_EQ(detail->rejects.lines[0].reasons[0].strColumn, QStringLiteral("日付"));
    EXPECT_EQ(detail->rejects.lines[0].reasons[0].strValue, QStringLiteral("2024/13/1"));
    ASSERT_EQ(detail->skipped.size(), 1u);
    EXPECT_EQ(detail->skipped[0].lngLineNumber, 2);
    EXPECT_EQ(detail->skipped[0].match.lngRunId, 1);
    EXPECT_EQ(detail->skipped[0].match.lngLineNumber, 2);
    EXPECT_TRUE(detail->skipped[0].match.dtmRunStarted.isValid());
    QStringList added, matched;
    for (const RunName& name : detail->addedNames)
        added << MasterText(name.strMaster) + u':' + name.strName;
    for (const RunName& name : detail->matchedNames)
        matched << MasterText(name.strMaster) + u':' + name.strName + u'>' + name.strStoredName;
    EXPECT_EQ(added, QStringList({"製品:マウス", "製品:キーボード", "販売先:南海商会"}));
    EXPECT_EQ(matched, QStringList({"販売先:ABC 商事>ＡＢＣ商事"}));
    EXPECT_FALSE(this->ledger.history()->Detail(9).has_value());
}

// The undo's question counts what the undo then takes out, and asking
// changes nothing.
TYPED_TEST(LedgerOverlap, AnUndosPreviewCountsWhatTheUndoTakesOutAndChangesNothing)
{
    this->Import({Sale(1, QStringLiteral("液晶モニター"), QStringLiteral("北星電機"))});
    this->Import({Sale(2, QStringLiteral("液晶モニター"), QStringLiteral("南海商会")),
                  Sale(3, QStringLiteral("マウス"), QStringLiteral("南海商会")),
                  Sale(4, QStringLiteral("キーボード"), QStringLiteral("青葉商店"))});
    const auto counts = [this] {
        return this->ledger.value(
            QStringLiteral("SELECT (SELECT count(*) FROM trades), (SELECT count(*) FROM products),"
                           " (SELECT count(*) FROM customers), (SELECT count(*) FROM runs WHERE undone IS NULL)"));
    };
    const QString before = counts();
    using Outcome = clsLedgerHistory::UndoOutcome;
    const clsLedgerHistory::UndoResult preview = this->ledger.history()->PreviewUndo(2, {});
    EXPECT_EQ(counts(), before);
    const clsLedgerHistory::UndoResult undone = this->ledger.history()->UndoRun(2, {});
    const auto numbers = [](const clsLedgerHistory::UndoResult& result) {
        return std::vector<int64_t>{int64_t(result.outcome),    result.lngTradesRemoved,    result.lngProductsRemoved,
                                    result.lngSuppliersRemoved, result.lngCustomersRemoved, result.lngKindsRemoved};
    };
    EXPECT_EQ(numbers(preview), numbers(undone));
    EXPECT_EQ(numbers(undone), (std::vector<int64_t>{int64_t(Outcome::Undone), 3, 2, 0, 2, 0}));
    EXPECT_EQ(this->ledger.history()->PreviewUndo(2, {}).outcome, Outcome::AlreadyUndone);
    EXPECT_EQ(this->ledger.history()->PreviewUndo(7, {}).outcome, Outcome::UnknownRun);
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
        EXPECT_EQ(
            ledger.value(QStringLiteral("SELECT p.name || '|' || c.name FROM trades t"
                                        " JOIN products p USING (product_id) JOIN customers c USING (customer_id)")),
            one.storedProduct + u'|' + one.storedParty);
        EXPECT_EQ(this->ImportInto(ledger, {Sale(5, one.product, one.party), Sale(6, one.product, one.party)}),
                  QStringList({LinesQuestion(1, 2), Totals(2, 1)}));
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
    // Nor what later versions added.
    this->ledger.exec(QStringLiteral("DROP TABLE import_patterns"));
    this->ledger.exec(QStringLiteral("ALTER TABLE runs DROP COLUMN pattern_name"));
    SetSchemaVersion(this->ledger, 4);

    const QString party = QStringLiteral("北星電機");
    const QString file = this->dir.writeCp932(QStringLiteral("cp932.csv"),
                                              Lines({kSalesHeader, Sale(1, adapter, party), Sale(2, adapter, party)}));
    // Only an import brings the ledger up to date: the look refuses an older version.
    EXPECT_EQ(this->ImportFile(this->ledger, file), QStringList({LinesQuestion(1, 2), Totals(2, 1)}));
    // The name matched another way is told at the first new line.
    const QString more = this->dir.writeCp932(
        QStringLiteral("cp932-more.csv"),
        Lines({kSalesHeader, Sale(1, adapter, party), Sale(2, adapter, party), Sale(3, adapter, party)}));
    EXPECT_EQ(this->Look(this->ledger, more),
              QStringList({QStringLiteral("2|1|取り込み 1 の 2 行目"), QStringLiteral("3|1|取り込み 2 の 3 行目"),
                           QStringLiteral("4|0|製品「ACアダプター 100\uFF5E240V」→「") + adapter + u'」'}));
    EXPECT_EQ(this->ledger.rows(QStringLiteral("SELECT name, name_key FROM products")),
              QStringList{adapter + QStringLiteral("|ACアダプター100~240V")});
    EXPECT_EQ(this->Trades(), 2);
    const QString index =
        TypeParam::kIsSqlite ? QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'skipped_lines_matched'")
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
        EXPECT_EQ(
            this->Look(ledger, path),
            QStringList({QStringLiteral("2|2|") + reason(one.what),
                         QStringLiteral("3|0|新しい製品「液晶モニター」 / 新しい%1「北星電機」 / 新しい種別「表示」")
                             .arg(party)}));
        EXPECT_EQ(this->ImportFile(ledger, path), QStringList{Totals(2, 1)});
        EXPECT_EQ(ledger.rows(QStringLiteral("SELECT l.line_number, x.code, x.reason"
                                             " FROM rejected_lines l JOIN line_reasons x USING (reject_id)")),
                  QStringList{QStringLiteral("2||") + reason(one.what)});
        EXPECT_EQ(
            ledger.rows(QStringLiteral("SELECT name FROM products UNION ALL SELECT name FROM kinds"
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
                           QStringLiteral("5|2|販売先「%1…」の名前が長すぎます（全角 300 文字まで）。")
                               .arg(QString(20, QChar(u'長')))}));
    EXPECT_EQ(this->ImportFile(this->ledger, file), QStringList{Totals(4, 3)});
    EXPECT_EQ(this->ledger.rows(QStringLiteral("SELECT p.name || '|' || coalesce(k.name, '-') FROM products p"
                                               " LEFT JOIN kinds k USING (kind_code) ORDER BY p.product_id")),
              QStringList({QStringLiteral("液晶モニター|表示"), QStringLiteral("ケーブル|部品")}));
    EXPECT_EQ(this->ledger.rows(QStringLiteral("SELECT name FROM kinds ORDER BY kind_code")),
              QStringList({QStringLiteral("表示"), QStringLiteral("部品")}));
}
