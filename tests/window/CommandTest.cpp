#include "ImportFixtures.h"
#include "WindowFixture.h"
#include "WorkbookFiles.h"
#include "frmCheck.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>

#include <unistd.h>

namespace {

using fixtures::CheckRow;

const QString kImporting = QStringLiteral("インポート中です・・・・");

QString Connection(const QString& directory)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + directory
           + QStringLiteral("/Data/iOrvanta.mdb");
}

QString Totals(int read, int imported)
{
    return QStringLiteral("全レコード %1 件中 %2 件インポートしました。").arg(read).arg(imported);
}

using CommandTest = WindowTest;

TEST_F(CommandTest, ImportWithoutAChosenFileOnlySaysSo)
{
    lblInformation().setText(QStringLiteral("as it was"));
    cmdExec().click();

    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].prompt, QStringLiteral("ファイルが選択されていません。"));
    EXPECT_EQ(desktop.messages[0].flags, 64);
    EXPECT_EQ(desktop.messages[0].title, QStringLiteral("インポートエラー"));
    EXPECT_TRUE(desktop.pointers.empty());
    EXPECT_EQ(log->storesMade, 0);
    EXPECT_EQ(lblInformation().text(), QStringLiteral("as it was"));
}

TEST_F(CommandTest, ARunShowsTheBusyStateThenClearsItAndCanBeRepeated)
{
    const QString path = writeSalesFile(QStringLiteral("sales.csv"));
    dropPath(path);

    QStringList statusDuringRun;
    desktop.onDoEvents = [&] { statusDuringRun << lblInformation().text(); };
    cmdExec().click();

    // Busy from the look at its lines on: once a line for the look, once for the run.
    EXPECT_EQ(statusDuringRun, QStringList({kImporting, kImporting, kImporting, kImporting}));
    EXPECT_EQ(desktop.events, QStringList({QStringLiteral("Pointer:11"), QStringLiteral("MsgBox:") + Totals(2, 2),
                                           QStringLiteral("Pointer:0")}));
    EXPECT_EQ(lblInformation().text(), QString());
    EXPECT_EQ(lblFileName().text(), path);
    // One store per click, for the repeat check and the run: each reason is told once.
    EXPECT_EQ(log->storesMade, 1);
    EXPECT_EQ(log->inserts.size(), 2u);

    // The path stays chosen: a second click imports the same file again with a new store.
    cmdExec().click();
    EXPECT_EQ(log->storesMade, 2);
    EXPECT_EQ(log->inserts.size(), 4u);
    EXPECT_EQ(desktop.prompts(), QStringList({Totals(2, 2), Totals(2, 2)}));
    EXPECT_EQ(desktop.pointers, std::vector<int>({11, 0, 11, 0}));
}

TEST_F(CommandTest, EachClickBuildsTheConnectionFromTheCurrentDirectoryOfTheMoment)
{
    dropPath(writeSalesFile(QStringLiteral("sales.csv")));
    QTemporaryDir first;
    QTemporaryDir second;
    {
        CurrentDirectoryScope here(first.path());
        cmdExec().click();
    }
    {
        CurrentDirectoryScope here(second.path());
        cmdExec().click();
    }
    {
        CurrentDirectoryScope here(QStringLiteral("/"));
        cmdExec().click();
    }
    // Each click's repeat check and run both use the one connection of that click.
    const QString root = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=//Data/iOrvanta.mdb");
    const QString firstConnection = Connection(QDir(first.path()).canonicalPath());
    const QString secondConnection = Connection(QDir(second.path()).canonicalPath());
    EXPECT_EQ(log->connections, QStringList({firstConnection, secondConnection, root}));
}

TEST_F(CommandTest, ARemovedCurrentDirectoryStopsTheClickWithTheStandardReport)
{
    dropPath(writeSalesFile(QStringLiteral("sales.csv")));
    auto gone = std::make_unique<QTemporaryDir>();
    CurrentDirectoryScope here(gone->path());
    gone.reset();
    ASSERT_TRUE(QDir::currentPath().isEmpty()) << "the platform still reports a directory";

    cmdExec().click();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_TRUE(desktop.messages[0].prompt.startsWith(QStringLiteral("FM-man1003\r\n")));
    EXPECT_EQ(desktop.messages[0].flags, 0);
    EXPECT_EQ(log->storesMade, 0);
    EXPECT_TRUE(desktop.pointers.empty());
}

TEST_F(CommandTest, AFailedCheckClearsTheStatusKeepsThePathAndChecksAgainNextTime)
{
    const QString path =
        writeFile(QStringLiteral("wrong.csv"), QStringLiteral("日付,種別,メーカー,カナ\r\n2024/04/01,文具,北星,x\r\n"));
    dropPath(path);
    lblInformation().setText(QStringLiteral("left over"));

    cmdExec().click();
    cmdExec().click();

    const QString wrongFormat = QStringLiteral("選択されたファイルの書式が違います。");
    EXPECT_EQ(desktop.prompts(), QStringList({wrongFormat, wrongFormat}));
    EXPECT_EQ(lblInformation().text(), QString());
    EXPECT_EQ(lblFileName().text(), path);
    EXPECT_EQ(desktop.pointers, std::vector<int>({11, 0, 11, 0}));
    EXPECT_EQ(log->storesMade, 0);
}

// The checks read the whole file before any question: the window looks busy
// from the click on, and idle again whatever the checks end in.
TEST_F(CommandTest, TheBusyStateShowsFromTheChecksOnAndEndsWithThem)
{
    struct Case {
        const char* name;
        QString content;
        bool importedBefore;
        int answer;
        QString question;
        int runs;
    };
    const QString repeat =
        QStringLiteral("このファイルは 2024/04/01 09:30 に取り込み済みです（全レコード 2 件中 2 件）。"
                       "もう一度インポートしますか？");
    const QString sales =
        SalesHeader() + QStringLiteral("\r\n2024/04/01,文具,北星,のーと,ノート,N-4,A4,1,120,きた,北山\r\n");
    const Case cases[] = {
        {"wrong header", QStringLiteral("日付,種別\r\n"), false, IDNO,
         QStringLiteral("選択されたファイルの書式が違います。"), 0},
        {"repeat refused", sales, true, IDNO, repeat, 0},
        {"repeat wanted", sales, true, IDYES, repeat, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.messages.clear();
        desktop.pointers.clear();
        log->runCalls.clear();
        log->priorRun.reset();
        if (c.importedBefore)
            log->priorRun = PriorRun{7, QDateTime(QDate(2024, 4, 1), QTime(9, 30)), 2, 2};
        desktop.answer = c.answer;
        dropPath(writeFile(QStringLiteral("checked.csv"), c.content));

        QStringList statusAtQuestion;
        std::vector<int> pointerAtQuestion;
        bool buttonsOff = false;
        desktop.onMsgBox = [&] {
            statusAtQuestion << lblInformation().text();
            pointerAtQuestion.push_back(desktop.pointers.empty() ? -1 : desktop.pointers.back());
            buttonsOff = !cmdExec().isEnabled() && !cmdClose().isEnabled();
        };
        cmdExec().click();
        desktop.onMsgBox = nullptr;

        ASSERT_FALSE(desktop.messages.empty());
        EXPECT_EQ(desktop.messages[0].prompt, c.question);
        EXPECT_EQ(statusAtQuestion.front(), kImporting);
        EXPECT_EQ(pointerAtQuestion.front(), 11);
        EXPECT_TRUE(buttonsOff);
        EXPECT_EQ(log->runCalls.count(QStringLiteral("BeginRun")), c.runs);
        EXPECT_EQ(lblInformation().text(), QString());
        EXPECT_EQ(desktop.pointers, std::vector<int>({11, 0}));
        EXPECT_TRUE(cmdExec().isEnabled());
        EXPECT_FALSE(window->IsRunning());
    }
}

TEST_F(CommandTest, AFileGoneBeforeTheClickIsToldByTheEngineOnly)
{
    const QString path = files.filePath(QStringLiteral("missing.csv"));
    dropPath(path);
    cmdExec().click();

    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_TRUE(desktop.messages[0].prompt.startsWith(QStringLiteral("CLS-is1000\r\n")));
    EXPECT_EQ(desktop.messages[1].prompt, QStringLiteral("選択されたファイルを開けません。"));
    EXPECT_EQ(lblFileName().text(), path);
    EXPECT_EQ(lblInformation().text(), QString());
}

TEST_F(CommandTest, DuringARunTheButtonsAreOffAndACloseIsRefused)
{
    window->show();
    window->activateWindow();
    dropPath(writeSalesFile(QStringLiteral("sales.csv")));
    cmdExec().setFocus();

    int checked = 0;
    desktop.onDoEvents = [&] {
        if (checked++)
            return;
        EXPECT_TRUE(window->IsRunning());
        EXPECT_FALSE(cmdExec().isEnabled());
        EXPECT_FALSE(cmdClose().isEnabled());
        for (const char* entry : {"mnuCheck", "mnuHistory", "mnuLedgerPlace"})
            EXPECT_FALSE(child<QAction>(entry).isEnabled()) << entry;
        cmdExec().click();
        cmdClose().click();
        EXPECT_FALSE(window->close());
        EXPECT_TRUE(window->isVisible());
    };
    cmdExec().click();

    EXPECT_EQ(checked, 4);          // the look's two lines, then the run's
    EXPECT_EQ(log->storesMade, 1);  // no second run nested in the first
    EXPECT_FALSE(window->IsRunning());
    EXPECT_TRUE(cmdExec().isEnabled());
    EXPECT_TRUE(cmdClose().isEnabled());
    EXPECT_TRUE(child<QAction>("mnuLedgerPlace").isEnabled());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->focusWidget(), &cmdExec());  // where the user left it

    cmdClose().click();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(CommandTest, TheButtonsComeBackWhenTheStoreFailsMidRun)
{
    dropPath(writeSalesFile(QStringLiteral("sales.csv")));
    log->throwIn = QStringLiteral("InsertTrade");
    cmdExec().click();

    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_TRUE(desktop.messages[0].prompt.startsWith(QStringLiteral("CLS-is1005\r\n")));
    EXPECT_TRUE(cmdExec().isEnabled());
    EXPECT_TRUE(cmdClose().isEnabled());
    EXPECT_EQ(desktop.pointers.back(), 0);
    EXPECT_EQ(lblInformation().text(), QString());
}

TEST_F(CommandTest, ADropDuringARunChangesTheChoiceButNotTheRun)
{
    const QString first = writeSalesFile(QStringLiteral("first.csv"));
    const QString second =
        writeSalesFile(QStringLiteral("second.csv"), QStringLiteral("別の製品"), QStringLiteral("もう一つ"));
    dropPath(first);

    desktop.onDoEvents = [&] {
        if (lblFileName().text() == first)
            dropPath(second);
    };
    cmdExec().click();

    EXPECT_EQ(lblFileName().text(), second);
    ASSERT_EQ(log->inserts.size(), 2u);
    EXPECT_EQ(log->inserts[1].product.strProductName, QStringLiteral("ボールペン黒"));

    desktop.onDoEvents = nullptr;
    cmdExec().click();
    ASSERT_EQ(log->inserts.size(), 4u);
    EXPECT_EQ(log->inserts[2].product.strProductName, QStringLiteral("別の製品"));
}

// The look before an import takes the chosen file as the import does, under
// the busy pointer, and shows its table only for a file it accepts.
TEST_F(CommandTest, TheLookBeforeAnImportShowsItsTableForAnAcceptedFileOnly)
{
    const std::tuple<QString, QString, std::vector<int>, QString> cases[] = {
        // the file chosen (none, or its content), the message, the pointers, the table's summary
        {QString(), QStringLiteral("ファイルが選択されていません。"), {}, QString()},
        {QStringLiteral("日付,種別\r\n"), QStringLiteral("選択されたファイルの書式が違います。"), {11, 0}, QString()},
        {SalesHeader(),
         QString(),
         {11, 0},
         QStringLiteral("全レコード 0 件: 新しい行 0 件、取り込み済み 0 件、取り込めない行 0 件")},
    };
    for (const auto& [content, message, pointers, summary] : cases) {
        desktop.messages.clear();
        desktop.pointers.clear();
        lblFileName().setText(content.isEmpty() ? QString() : writeFile(QStringLiteral("checked.csv"), content));
        QString shown;
        // Until the table shows: the busy state paints the window first.
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* check = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                shown = check->findChild<QLabel*>(QStringLiteral("lblSummary"))->text();
                check->accept();
            }
        });
        closer.start(0);
        child<QAction>("mnuCheck").trigger();
        EXPECT_EQ(desktop.prompts(), message.isEmpty() ? QStringList() : QStringList{message});
        EXPECT_EQ(desktop.pointers, pointers);
        EXPECT_EQ(shown, summary);
        EXPECT_EQ(log->countRunCalls(QStringLiteral("BeginRun")), 0);
    }
}

TEST(CheckWindowTest, EachLineShowsItsOutcomeItsValuesAndItsNamesMarkedAndTheFilterHidesTheRest)
{
    LineCheck fresh =
        CheckRow(2, LineCheck::Outcome::New, QStringLiteral("新しい製品「X」 / 販売先「ＡＢＣ商事」→「ABC商事」"));
    fresh.strDate = QStringLiteral("2024/04/01");
    fresh.strKind = QStringLiteral("文具");
    fresh.strProduct = QStringLiteral("X");
    fresh.strParty = QStringLiteral("ＡＢＣ商事");
    fresh.lngQuantity = 3;
    fresh.lngUnitPrice = 1200;
    fresh.lngAmount = 3600;
    fresh.newNames = {QStringLiteral("新しい製品「X」")};
    fresh.matchedNames = {QStringLiteral("販売先「ＡＢＣ商事」→「ABC商事」")};
    frmCheck window({fresh, CheckRow(3, LineCheck::Outcome::InLedger, QStringLiteral("取り込み 3 の 40 行目")),
                     CheckRow(4, LineCheck::Outcome::Refused, QStringLiteral("<b>日付</b>「2024/13/5」"))},
                    QStringLiteral("/data/5月/sales.csv"), QStringLiteral("/data/Data/iOrvanta.mdb"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("取り込み前の確認 - sales.csv（台帳: /data/Data/iOrvanta.mdb）"));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lblSummary"))->text(),
              QStringLiteral("全レコード 3 件: 新しい行 1 件、取り込み済み 1 件、取り込めない行 1 件"));
    auto* grid = window.findChild<QTableWidget*>(QStringLiteral("grdLines"));
    QStringList first;
    for (int column = 0; column < grid->columnCount(); ++column)
        first << grid->item(0, column)->text();
    EXPECT_EQ(first, (QStringList{"2", "新しい", "2024/04/01", "文具", "＋X", "≒ＡＢＣ商事", "3", "1,200", "3,600",
                                  "新しい製品「X」 / 販売先「ＡＢＣ商事」→「ABC商事」"}));
    EXPECT_EQ(grid->item(2, 1)->text(), QStringLiteral("取り込めない"));
    // A name from the file shows as written, also in full on hovering.
    EXPECT_TRUE(grid->item(2, grid->columnCount() - 1)->toolTip().contains(QStringLiteral("&lt;b&gt;日付")));

    const std::pair<int, QList<bool>> filters[] = {
        {1, {false, true, true}}, {3, {true, true, false}}, {0, {false, false, false}}};
    auto* show = window.findChild<QComboBox*>(QStringLiteral("cboShow"));
    for (const auto& [index, hidden] : filters) {
        show->setCurrentIndex(index);
        EXPECT_EQ((QList<bool>{grid->isRowHidden(0), grid->isRowHidden(1), grid->isRowHidden(2)}), hidden) << index;
    }
    QTimer::singleShot(0, [&window] { window.findChild<QPushButton*>(QStringLiteral("cmdImport"))->click(); });
    EXPECT_EQ(window.exec(), frmCheck::kImportChosen);
}

// A window started in a folder without Data/ asks at the import whether to
// make it; No ends the click as a failed check does, the path kept.
TEST_F(CommandTest, AMissingDataFolderIsMadeOnlyWhenTheClerkSaysYes)
{
    struct Case {
        const char* what;
        bool exists;
        bool server;
        int answer;
        bool blocked;  // a file stands where the folder would go
        bool asked;
        bool imported;
        QString told;  // after the question
    };
    const Case cases[] = {
        {"there", true, false, IDNO, false, false, true, {}},
        {"a server's ledger", false, true, IDNO, false, false, true, {}},
        {"made", false, false, IDYES, false, true, true, {}},
        {"declined", false, false, IDNO, false, true, false, {}},
        {"cannot be made", false, false, IDYES, true, true, false, QStringLiteral("Data フォルダを作成できません: ")},
    };
    const QString path = writeSalesFile(QStringLiteral("sales.csv"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir start;
        const QString data = start.filePath(QStringLiteral("Data"));
        if (c.exists)
            QDir(start.path()).mkdir(QStringLiteral("Data"));
        if (c.blocked)
            QFile(data).open(QIODevice::WriteOnly);
        window->SetLedgerInUse([&] { return LedgerInUse{c.server, {}, {}, c.server ? QString() : data}; });
        dropPath(path);
        desktop.messages.clear();
        desktop.answer = c.answer;
        const int storesBefore = log->storesMade;
        lblInformation().setText(QStringLiteral("left over"));
        cmdExec().click();

        QStringList expected;
        if (c.asked)
            expected << QStringLiteral("Data フォルダがありません。作成しますか？");
        if (!c.told.isEmpty())
            expected << c.told + data;
        if (c.imported)
            expected << Totals(2, 2);
        EXPECT_EQ(desktop.prompts(), expected);
        if (c.asked) {
            EXPECT_EQ(desktop.messages[0].title, QStringLiteral("インポート確認"));
            EXPECT_EQ(desktop.messages[0].informative, data);
            EXPECT_EQ(desktop.messages[0].flags, MB_YESNO | MB_ICONQUESTION);
        }
        EXPECT_EQ(QFileInfo(data).isDir(), c.exists || (c.asked && c.answer == IDYES && !c.blocked));
        EXPECT_EQ(log->storesMade - storesBefore, c.imported ? 1 : 0);
        EXPECT_EQ(lblInformation().text(), QString());
        EXPECT_EQ(lblFileName().text(), path);
    }
}

// Every box of a click on a server's ledger says which ledger it is; the
// note goes with the click.
TEST_F(CommandTest, EveryBoxOfAServersImportNamesTheServer)
{
    const QString server = QStringLiteral("サーバー ledger.example のデータベース orvanta（スキーマ public）");
    for (const bool onServer : {true, false}) {
        SCOPED_TRACE(onServer);
        desktop.messages.clear();
        window->SetLedgerInUse([&] {
            return onServer ? LedgerInUse{true, QStringLiteral("サーバー ledger.example の orvanta"), server, {}}
                            : LedgerInUse{false, QStringLiteral("このコンピューター"),
                                          QStringLiteral("このコンピューター"), files.path()};
        });
        log->priorRun = PriorRun{3, QDateTime(QDate(2026, 12, 1), QTime(9, 5)), 2, 2};
        desktop.answer = IDYES;  // import it again
        dropPath(writeSalesFile(QStringLiteral("sales.csv")));
        cmdExec().click();
        ASSERT_EQ(desktop.messages.size(), 2u);  // the repeat question, the totals
        for (const auto& message : desktop.messages)
            EXPECT_EQ(message.ledgerNote,
                      onServer ? QStringLiteral("台帳: サーバー ledger.example の orvanta") : QString());
        EXPECT_EQ(desktop.ledgerNote, QString());
    }
}

TEST_F(CommandTest, TheCloseButtonClosesTheWindowAtOnce)
{
    window->show();
    cmdClose().click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(desktop.messages.empty());
}

}  // namespace

namespace {

// The workbook of the tests' data: sheets 売上 (sales) and 仕入 (purchases) both hold lines.
const QString kWorkbook = QStringLiteral(MORA_WORKBOOK_DATA_DIR "/libreoffice.xlsx");

TEST_F(CommandTest, AWorkbookWithSeveralSheetsOfValuesAsksWhichOneAndImportsIt)
{
    const struct {
        const char* what;
        int answer;  // to the Yes/No/Cancel box the question falls back to
        std::size_t inserts;
        bool blnPurchase;
    } cases[] = {
        {"the first", IDYES, 5, false},  // its row 6 is refused: an error cell
        {"the second", IDNO, 1, true},
        {"cancelled", IDCANCEL, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        log->inserts.clear();
        desktop.questions.clear();
        desktop.messages.clear();
        const int storesBefore = log->storesMade;
        dropPath(kWorkbook);
        desktop.threeWayAnswer = c.answer;
        cmdExec().click();

        ASSERT_EQ(desktop.questions.size(), 1u);
        const Question& question = desktop.questions[0];
        EXPECT_EQ(question.strTitle, QStringLiteral("シートの選択"));
        ASSERT_EQ(question.choices.size(), 3u);
        EXPECT_EQ(question.choices[0].strText, QStringLiteral("売上"));
        EXPECT_EQ(question.choices[1].strText, QStringLiteral("仕入"));
        EXPECT_EQ(question.intEscape, 2);
        EXPECT_EQ(log->inserts.size(), c.inserts);
        if (c.inserts > 0) {
            EXPECT_EQ(log->inserts[0].blnPurchase, c.blnPurchase);
        } else {
            EXPECT_EQ(log->storesMade, storesBefore);
        }
    }
}

TEST_F(CommandTest, AWorkbookWithOneSheetOfValuesIsReadWithoutAQuestion)
{
    const QString path = files.filePath(QStringLiteral("one.xlsx"));
    XlsxParts parts;
    parts.sheets = {{QStringLiteral("表紙"), QByteArray()},
                    {QStringLiteral("売上"),
                     "<row r=\"1\">" +
                         [] {
                             QByteArray cells;
                             const QStringList names = fixtures::kSalesHeader.split(u',');
                             for (const QString& name : names)
                                 cells += "<c t=\"inlineStr\"><is><t>" + name.toUtf8() + "</t></is></c>";
                             return cells;
                         }()
                         + "</row>"
                           "<row r=\"2\"><c t=\"inlineStr\"><is><t>2024/4/1</t></is></c><c t=\"inlineStr\"><is><t>文具"
                           "</t></is></c><c/><c/><c t=\"inlineStr\"><is><t>ノート</t></is></c><c/><c/><c><v>3</v></c>"
                           "<c><v>120</v></c><c/><c t=\"inlineStr\"><is><t>北山商店</t></is></c></row>"}};
    WriteZip(path, XlsxEntries(parts));
    dropPath(path);
    cmdExec().click();
    EXPECT_TRUE(desktop.questions.empty());
    ASSERT_EQ(log->inserts.size(), 1u);
    EXPECT_EQ(log->inserts[0].product.strProductName, QStringLiteral("ノート"));
}

}  // namespace
