#include "ConsoleImport.h"
#include "ConsoleCheck.h"

#include "ErrorReport.h"
#include "ImportFixtures.h"
#include "RecordingStore.h"
#include "RuntimeError.h"
#include "TestFiles.h"

#include "ImportTexts.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace {

using fixtures::CheckRow;

// The end-to-end run covers the totals and the usual refusals; these are the
// lines and statuses it cannot provoke.
class ConsoleDesktopTest : public ::testing::Test {
protected:
    QString out() const { return QString::fromStdString(m_out.str()); }
    QString err() const { return QString::fromStdString(m_err.str()); }

    std::ostringstream m_out;
    std::ostringstream m_err;
    ConsoleDesktop desktop{m_out, m_err};
};

TEST_F(ConsoleDesktopTest, MessagesAreOneLineEachAndOnlyTheTotalsBoxCounts)
{
    desktop.MsgBox(QStringLiteral("選択されたファイルの書式が違います。"), 64, QStringLiteral("ファイルエラー"));
    ReportError(desktop, QStringLiteral("CLS-is1002"), RuntimeError(ERR_TYPE_MISMATCH));
    desktop.MsgBox(QStringLiteral("a\rb\nc"), 0, QString());
    // A text that happens to look like the totals is not the totals box.
    desktop.MsgBox(QStringLiteral("全レコード 1 件中 1 件インポートしました。"), 0, QString());

    EXPECT_EQ(err(), QStringLiteral("ファイルエラー: 選択されたファイルの書式が違います。\n"
                                    "MoraImport: CLS-is1002 型が一致しません。\n"
                                    "MoraImport: a b c\n"
                                    "MoraImport: 全レコード 1 件中 1 件インポートしました。\n"));
    EXPECT_EQ(out(), QString());
}

// Names and values come from outside: none of them may end a report's line
// early, forge another or reach the terminal as a control sequence.
TEST_F(ConsoleDesktopTest, EveryReportIsOneLineWhateverItsFileNameColumnOrValueHold)
{
    const QString cases[][4] = {
        // file, column, value, the line written
        {"sales.csv", "製品名", "C:\\x", "sales.csv:7: CLS-is1003 x（製品名「C:\\x」）"},
        {"evil\nMoraImport: forged.csv", {}, {}, "evil\\nMoraImport: forged.csv:7: CLS-is1003 x"},
        {"a\r.csv", "仕\x1b[31m様", "A4\n方眼\t\x7f", "a\\r.csv:7: CLS-is1003 x（仕\\x1b[31m様「A4\\n方眼\\t\\x7f」）"},
        {"b.csv", "販売先", QString(QChar(0)) + QStringLiteral("\u009b\u2028"),
         "b.csv:7: CLS-is1003 x（販売先「\\x00\\x9b\\u2028」）"},
    };
    for (const auto& [file, column, value, line] : cases) {
        m_err.str({});
        desktop.LineReport(QStringLiteral("CLS-is1003\r\nx"), LineReportPlace{file, 7, column, value, {}});
        EXPECT_EQ(err(), line + u'\n');
    }
    // A box's own lines are joined; a control character in it is escaped.
    m_err.str({});
    desktop.MsgBox(QStringLiteral("台帳 /q\x1b[0m を開けません。\r\n理由"), 0, QString());
    EXPECT_EQ(err(), QStringLiteral("MoraImport: 台帳 /q\\x1b[0m を開けません。 理由\n"));
}

// What the options answer, by what each button leads to, and each question on its line all the same.
TEST_F(ConsoleDesktopTest, TheOptionsAnswerTheQuestionsAndEveryQuestionIsWritten)
{
    using Answers = ConsoleDesktop::Answers;
    using To = ChoiceLeadsTo;
    const Question repeat{
        QStringLiteral("もう一度？"),
        QStringLiteral("確認"),
        {{QStringLiteral("もう一度取り込む"), To::GoingOn}, {QStringLiteral("取り込まない"), To::Nothing}},
        1,
        1};
    const Question lines{QStringLiteral("新しい行だけ？"),
                         QStringLiteral("確認"),
                         {{QStringLiteral("新しい行だけ取り込む"), To::NewLinesOnly},
                          {QStringLiteral("すべて取り込む"), To::EveryLine},
                          {QStringLiteral("キャンセル"), To::Nothing}},
                         0,
                         2};
    const Question nothingNew{
        QStringLiteral("新しい行はありません。"),
        QStringLiteral("確認"),
        {{QStringLiteral("すべて取り込む"), To::EveryLine}, {QStringLiteral("取り込まない"), To::Nothing}},
        1,
        1};
    const std::tuple<Answers, const Question*, int> cases[] = {
        {Answers::None, &repeat, 1},    {Answers::None, &lines, 2},    {Answers::None, &nothingNew, 1},
        {Answers::Again, &repeat, 0},   {Answers::Again, &lines, 1},   {Answers::Again, &nothingNew, 0},
        {Answers::NewOnly, &repeat, 0}, {Answers::NewOnly, &lines, 0}, {Answers::NewOnly, &nothingNew, 1},
    };
    for (const auto& [answers, question, choice] : cases) {
        m_err.str({});
        desktop.AnswerWith(answers);
        EXPECT_EQ(desktop.Ask(*question), choice) << question->strPrompt.toStdString();
        EXPECT_EQ(err(), QStringLiteral("確認: ") + question->strPrompt + u'\n');
    }
}

TEST(ConsoleImportExitStatus, IsOneOnlyWhenALineWasRefusedAndTwoWithoutTotals)
{
    const std::tuple<std::optional<RunTotals>, bool, ExitStatus> cases[] = {
        {RunTotals{3, 3, 0, 0, 0}, false, ExitStatus::Ok}, {RunTotals{3, 1, 0, 2, 0}, false, ExitStatus::Ok},
        {RunTotals{3, 3, 0, 0, 2}, false, ExitStatus::Ok}, {RunTotals{3, 1, 1, 1, 0}, false, ExitStatus::Partly},
        {std::nullopt, false, ExitStatus::Failed},         {std::nullopt, true, ExitStatus::Ok},
    };
    for (const auto& [totals, nothingNew, status] : cases)
        EXPECT_EQ(ImportExitStatus(totals, nothingNew), status);
}

TEST_F(ConsoleDesktopTest, SeveralFilesAreRefusedBeforeAStoreIsMade)
{
    const ScratchDir scratch;
    const auto log = std::make_shared<StoreLog>();
    EXPECT_EQ(RunConsoleImport(desktop, {scratch.path(QStringLiteral("a.csv")), scratch.path(QStringLiteral("b.csv"))},
                               RecordingStore::factory(log)),
              ExitStatus::Failed);
    EXPECT_EQ(err(), QStringLiteral("ファイル選択エラー: 一度に複数のファイルを取り込むことは出来ません。\n"));
    EXPECT_EQ(log->storesMade, 0);
}

TEST(ConsoleCheckTest, EachDataLineIsARowWithItsDetailEscapedAsTheHistoryDoes)
{
    const std::vector<LineCheck> checks = {
        CheckRow(2, LineCheck::Outcome::New, QStringLiteral("新しい製品「X」")),
        CheckRow(3, LineCheck::Outcome::InLedger, QStringLiteral("取り込み 3 の 40 行目")),
        CheckRow(5, LineCheck::Outcome::Refused, QStringLiteral("仕様「A4\n方眼\t\\」\r")),
        CheckRow(6, LineCheck::Outcome::New, QStringLiteral("新しい製品「\x1b]0;x\a」"))};
    EXPECT_EQ(LineChecksText(checks), QStringLiteral("line\toutcome\tdetail\n2\tnew\t新しい製品「X」\n"
                                                     "3\tin-ledger\t取り込み 3 の 40 行目\n"
                                                     "5\trefused\t仕様「A4\\n方眼\\t\\\\」\\r\n"
                                                     "6\tnew\t新しい製品「\\x1b]0;x\\x07」\n"));
}

// Refused as an import would be; nothing that writes reaches the store.
TEST_F(ConsoleDesktopTest, ACheckedFileGivesItsRowsOrExitsTwoAndWritesNothingToTheLedger)
{
    const ScratchDir scratch;
    for (const auto& [content, status] :
         {std::pair{fixtures::Lines({fixtures::kSalesHeader}), 0}, std::pair{QStringLiteral("日付,種別\r\n"), 2}}) {
        m_out.str({});
        const auto log = std::make_shared<StoreLog>();
        const QStringList files{scratch.writeUtf8(QStringLiteral("checked.csv"), content)};
        EXPECT_EQ(int(RunConsoleCheck(desktop, files, RecordingStore::factory(log), m_out)), status);
        EXPECT_EQ(out(), status ? QString() : QStringLiteral("line\toutcome\tdetail\n"));
        EXPECT_TRUE(log->countRunCalls(QStringLiteral("BeginRun")) == 0 && log->inserts.empty());
    }
    // Beneath it, how a file of another layout can be read.
    EXPECT_EQ(err(), QStringLiteral("ファイルエラー: 選択されたファイルの書式が違います。\n%1\n")
                         .arg(import_texts::PatternAdviceText()));
}

}  // namespace
