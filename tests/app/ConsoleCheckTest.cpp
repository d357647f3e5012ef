#include "ConsoleCheck.h"
#include "ConsoleImport.h"

#include "ImportFixtures.h"
#include "RecordingStore.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(ConsoleCheckTest, EachDataLineIsARowWithItsDetailEscapedAsTheHistoryDoes)
{
    using Outcome = LineCheck::Outcome;
    const std::vector<LineCheck> checks = {
        {2, Outcome::New, QStringLiteral("新しい製品「X」、販売先「ＡＢＣ商事」→「ABC商事」")},
        {3, Outcome::InLedger, QStringLiteral("取り込み 3 の 40 行目")},
        {5, Outcome::Refused, QStringLiteral("仕様「A4\n方眼\t\\」: x\r")},
        {7, Outcome::New, QString()},
    };
    EXPECT_EQ(LineChecksText(checks), QStringLiteral("line\toutcome\tdetail\n"
                                                     "2\tnew\t新しい製品「X」、販売先「ＡＢＣ商事」→「ABC商事」\n"
                                                     "3\tin-ledger\t取り込み 3 の 40 行目\n"
                                                     "5\trefused\t仕様「A4\\n方眼\\t\\\\」: x\\r\n"
                                                     "7\tnew\t\n"));
}

// The file rules of a drop and the header check refuse as an import would;
// nothing that writes reaches the store.
TEST(ConsoleCheckTest, ARefusedFileExitsTwoAndNoFileWritesToTheLedger)
{
    const ScratchDir scratch;
    const QString sales = scratch.writeUtf8(
        QStringLiteral("sales.csv"),
        fixtures::Lines({fixtures::kSalesHeader, QStringLiteral("2024/04/01,文具,北星,のーと,ノート,N-4,A4,10,120,きた,北山")}));
    const QString wrong = scratch.writeUtf8(QStringLiteral("wrong.csv"), QStringLiteral("日付,種別\r\n"));
    const std::tuple<QStringList, int, QString> cases[] = {
        {{sales}, 0, QString()},
        {{wrong}, 2, QStringLiteral("ファイルエラー: 選択されたファイルの書式が違います。\n")},
        {{sales, wrong}, 2, QStringLiteral("ファイル選択エラー: 一度に複数のファイルを取り込むことは出来ません。\n")},
    };
    for (const auto& [files, status, err] : cases) {
        SCOPED_TRACE(files.join(u' ').toStdString());
        std::ostringstream out, errors;
        ConsoleDesktop desktop(out, errors);
        const auto log = std::make_shared<StoreLog>();
        EXPECT_EQ(RunConsoleCheck(desktop, files, RecordingStore::factory(log), out), status);
        EXPECT_EQ(QString::fromStdString(errors.str()), err);
        EXPECT_EQ(QString::fromStdString(out.str()).startsWith(QStringLiteral("line\toutcome\tdetail\n")), status == 0);
        EXPECT_EQ(log->countRunCalls(QStringLiteral("BeginRun")), 0);
        EXPECT_TRUE(log->inserts.empty());
    }
}

}  // namespace
