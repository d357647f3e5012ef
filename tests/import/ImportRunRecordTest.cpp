#include "Desktop.h"
#include "ImportFixtures.h"
#include "RecordingDesktop.h"
#include "RecordingStore.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QCryptographicHash>
#include <QDateTime>

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

const QString kConnection = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/tmp/Data/iOrvanta.mdb");
const QString kAbandoned = QStringLiteral("インポートは中止されました。このファイルの取引は登録されていません。");
const QString kGood = QStringLiteral("2024/4/1,文具,北星,のーと,ノート,N-4,A4,10,120,きたやま,北山商店");

// What a run hands the store besides its lines, and what the clerk reads of it.
class RunRecord : public ::testing::Test {
protected:
    QString Write(const QStringList& lines)
    {
        return dir.writeUtf8(QStringLiteral("sales.csv"), Lines(QStringList{kSalesHeader} + lines));
    }
    void Run(const QStringList& lines)
    {
        const QString path = Write(lines);
        clsImportSource engine(desktop, RecordingStore::factory(log));
        ASSERT_FALSE(engine.IMPFileCheck(path));
        engine.ExecImport(path, kConnection);
    }

    ScratchDir dir;
    RecordingDesktop desktop;
    std::shared_ptr<StoreLog> log = std::make_shared<StoreLog>();
};

TEST_F(RunRecord, TheRunCarriesItsFileAndEveryRefusedLineItsReasons)
{
    log->refuseInserts = {2};  // the store refuses the last line
    Run({kGood, QStringLiteral("2024/13/5,文具,北星,のーと,幻の製品,N-4,A4,x,120,まぼろし,幻商店"), QString(), kGood});
    ASSERT_EQ(log->runs.size(), 1u);
    const ImportRunInfo& run = log->runs[0];
    const QByteArray bytes =
        Lines(QStringList{kSalesHeader, kGood,
                          QStringLiteral("2024/13/5,文具,北星,のーと,幻の製品,N-4,A4,x,120,まぼろし,幻商店"), QString(),
                          kGood})
            .toUtf8();
    EXPECT_EQ(run.strSha256, QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(run.lngFileSize, bytes.size());
    EXPECT_EQ(run.strHeaderLine, kSalesHeader);
    EXPECT_FALSE(run.blnPurchase);
    EXPECT_FALSE(run.strUser.isEmpty());
    EXPECT_EQ(log->runCalls, (QStringList{"BeginRun", "CommitRun"}));

    // Line numbers are the file's own: the header is line 1, the skipped empty line counts.
    EXPECT_EQ(log->lineNumbers, (std::vector<int64_t>{2, 5}));
    ASSERT_EQ(log->rejected.size(), 2u);
    EXPECT_EQ(log->rejected[1].lngLineNumber, 5);
    const RejectedLine& rejected = log->rejected[0];
    EXPECT_EQ(rejected.lngLineNumber, 3);
    EXPECT_EQ(rejected.strRecord, QStringLiteral("2024/13/5,文具,北星,のーと,幻の製品,N-4,A4,x,120,まぼろし,幻商店"));
    ASSERT_EQ(rejected.reasons.size(), 2u);
    EXPECT_EQ(rejected.reasons[0].strCode, QStringLiteral("CLS-is1002"));
    EXPECT_EQ(rejected.reasons[0].strColumn, QStringLiteral("日付"));
    EXPECT_EQ(rejected.reasons[0].strValue, QStringLiteral("2024/13/5"));
    EXPECT_EQ(rejected.reasons[1].strColumn, QStringLiteral("数量"));
    // Nothing of the refused line reached the store.
    EXPECT_FALSE(log->productIds.contains(QStringLiteral("幻の製品")));
    EXPECT_FALSE(log->partyIds.contains(QStringLiteral("幻商店")));

    // The reports pointed at the same line and columns, and the totals box lists the line.
    ASSERT_EQ(desktop.places.size(), 2u);
    EXPECT_EQ(desktop.places[0].lngLineNumber, 3);
    EXPECT_EQ(desktop.places[1].strColumn, QStringLiteral("数量"));
    EXPECT_EQ(desktop.places[1].strValue, QStringLiteral("x"));
    EXPECT_EQ(desktop.messages.back().prompt, Totals(3, 1));
    EXPECT_EQ(desktop.messages.back().details,
              QStringLiteral(
                  "3 行目: 日付「2024/13/5」: 型が一致しません。 / 数量「x」: 型が一致しません。\n5 行目: refused"));
}

// Whatever ends a run before its totals leaves it abandoned, and says so once.
TEST_F(RunRecord, ARunThatCannotBeginOrCommitIsAbandonedWithoutTotals)
{
    for (const bool atBegin : {true, false}) {
        SCOPED_TRACE(atBegin ? "begin" : "commit");
        log = std::make_shared<StoreLog>();
        desktop = RecordingDesktop();
        (atBegin ? log->beginFails : log->commitFails) = true;
        Run({kGood});
        const QString reason = atBegin ? QStringLiteral("no run") : QStringLiteral("commit failed");
        EXPECT_EQ(desktop.prompts(), (QStringList{Report("CLS-is1005", reason), kAbandoned}));
        const QStringList calls = atBegin ? QStringList{"BeginRun", "AbandonRun"}
                                          : QStringList{"BeginRun", "CommitRun", "AbandonRun"};
        EXPECT_EQ(log->runCalls, calls);
        EXPECT_EQ(log->inserts.size(), atBegin ? 0u : 1u);
    }
}

TEST_F(RunRecord, AfterTenReportBoxesTheRestOfTheRunsReportsAreCutShort)
{
    QStringList lines(12, QStringLiteral("x,文具,北星,のーと,ノート,N-4,A4,10,120,きたやま,北山商店"));
    Run(lines);
    QStringList expected(10, Report("CLS-is1002", QStringLiteral("型が一致しません。")));
    expected << QStringLiteral("エラーが多いため、これ以降のエラーの表示を省略します。") << Totals(12, 0);
    EXPECT_EQ(desktop.prompts(), expected);
    EXPECT_EQ(desktop.messages[10].title, QStringLiteral("インポートエラー"));
    EXPECT_EQ(desktop.messages[10].flags, MB_ICONINFORMATION);
    // Every line is still kept as refused.
    EXPECT_EQ(log->rejected.size(), 12u);

    // A stream shows them all.
    log = std::make_shared<StoreLog>();
    desktop = RecordingDesktop();
    desktop.showsEveryReport = true;
    Run(lines);
    EXPECT_EQ(desktop.places.size(), 12u);
}

TEST_F(RunRecord, ARepeatedFileIsAskedAboutAndOnlyYesImports)
{
    const QString path = Write({kGood});
    log->priorRun = PriorRun{7, QDateTime(QDate(2026, 12, 1), QTime(9, 5)), 12, 11};
    const QString question = QStringLiteral(
        "このファイルは 2026/12/01 09:05 に取り込み済みです（全レコード 12 件中 11 件）。もう一度インポートしますか？");
    for (const int answer : {IDNO, IDYES}) {
        desktop = RecordingDesktop();
        desktop.answer = answer;
        clsImportSource engine(desktop, RecordingStore::factory(log));
        EXPECT_EQ(engine.IMPRepeatCheck(path, kConnection), answer == IDNO);
        ASSERT_EQ(desktop.messages.size(), 1u);
        EXPECT_EQ(desktop.messages[0].prompt, question);
        EXPECT_EQ(desktop.messages[0].title, QStringLiteral("インポート確認"));
        EXPECT_EQ(desktop.messages[0].flags & (MB_YESNO | MB_DEFBUTTON2), MB_YESNO | MB_DEFBUTTON2);
    }
    // A file no run has seen is not asked about.
    log->priorRun.reset();
    desktop = RecordingDesktop();
    clsImportSource engine(desktop, RecordingStore::factory(log));
    EXPECT_FALSE(engine.IMPRepeatCheck(path, kConnection));
    EXPECT_TRUE(desktop.messages.empty());
}

// Excel writes a cell with a line break as a quoted value across lines.
TEST_F(RunRecord, ARecordRunsAcrossLineBreaksAndAnUnclosedQuoteRefusesOneLine)
{
    Run({QStringLiteral("2024/4/1,PC,北星,のーと,ノートPC,N-4,\"14型\r\nCore i5\",1,120,きたやま,北山商店"),
         QStringLiteral("2024/4/2,PC,北星,のーと,\"ノート,N-4,A4,1,120,,"), kGood});
    EXPECT_EQ(desktop.prompts(),
              (QStringList{Report("CLS-is1001", QStringLiteral("プロシージャの呼び出し、または引数が不正です。")),
                           Totals(3, 2)}));
    ASSERT_EQ(log->inserts.size(), 2u);
    EXPECT_EQ(log->inserts[0].product.strSpec, QStringLiteral("14型\nCore i5"));
    EXPECT_EQ(log->lineNumbers, (std::vector<int64_t>{2, 5}));
    ASSERT_EQ(log->rejected.size(), 1u);
    EXPECT_EQ(log->rejected[0].lngLineNumber, 4);
}

// A blank party carries the last one down whole; a given name brings its own reading.
TEST_F(RunRecord, APartysReadingGoesWithItsNameAndSpacesAroundNamesGo)
{
    Run({kGood, QStringLiteral("2024/4/2,文具,北星,のーと,ノート,N-4,A4,1,120,,"),
         QStringLiteral("2024/4/3,文具,北星,のーと,ノート,N-4,A4,1,120,,南海商会"),
         QStringLiteral("2024/4/4,文具,北星,のーと,ノート,N-4,A4,1,120,なんかい,"),
         QStringLiteral("2024/4/5, 文具　,　北星 , のーと ,　ノート,N-4 , A4,1,120, きたやま , 北山商店　")});
    ASSERT_EQ(log->inserts.size(), 5u);
    const std::vector<std::pair<QString, QString>> parties = {
        {QStringLiteral("北山商店"), QStringLiteral("きたやま")},
        {QStringLiteral("北山商店"), QStringLiteral("きたやま")},
        {QStringLiteral("南海商会"), QString()},
        {QStringLiteral("南海商会"), QString()},
        {QStringLiteral("北山商店"), QStringLiteral("きたやま")},
    };
    for (std::size_t i = 0; i < parties.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(log->inserts[i].customer.strPartyName, parties[i].first);
        EXPECT_EQ(log->inserts[i].customer.strReading, parties[i].second);
    }
    const ProductRecord& spaced = log->inserts[4].product;
    EXPECT_EQ((QStringList{spaced.strMaker, spaced.strReading, spaced.strProductName, spaced.strModel, spaced.strSpec}),
              (QStringList{"北星", "のーと", "ノート", "N-4", "A4"}));
    EXPECT_EQ(log->calls.filter(QStringLiteral("GetKindCode:")).last(), QStringLiteral("GetKindCode:文具"));
}

}  // namespace
