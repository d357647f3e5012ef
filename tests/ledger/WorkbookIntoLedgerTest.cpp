// The workbooks of tests/data/workbooks, imported by the engine into a new
// ledger, give exactly the ledger rows of the same lines typed into the
// template (sales.csv beside them).
#include "ImportFile.h"
#include "ImportFixtures.h"
#include "LedgerUnderTest.h"
#include "RecordingDesktop.h"
#include "clsImportSource.h"

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

QString Workbook(const char* name) { return QStringLiteral(MORA_WORKBOOK_DATA_DIR "/") + QString::fromUtf8(name); }

struct Imported {
    QStringList trades;
    QStringList prompts;
    QStringList refusedLines;
    QStringList reportPlaces;  // "sheet|line|column" of each line report
};

Imported ImportInto(const QString& strPath, const QString& strSheet = QString())
{
    SqliteLedger ledger;
    RecordingDesktop desktop;
    clsImportSource engine(desktop, [&ledger] { return ledger.programStore(); });
    engine.ChooseSheet(strSheet);
    Imported imported;
    if (engine.IMPFileCheck(strPath)) {
        imported.prompts = desktop.prompts();
        return imported;
    }
    engine.ExecImport(strPath, ledger.connection());
    imported.prompts = desktop.prompts();
    for (const LineReportPlace& place : desktop.places)
        imported.reportPlaces
            << QStringLiteral("%1|%2|%3").arg(place.strPlace).arg(place.lngLineNumber).arg(place.strColumn);
    imported.trades = ledger.rows(QStringLiteral(
        "SELECT t.trade_kind, t.trade_date, p.name, p.model, p.reading, coalesce(s.name, '-'),"
        " coalesce(c.name, '-'), t.quantity, t.unit_price, t.amount FROM trades t JOIN products p USING (product_id)"
        " LEFT JOIN suppliers s USING (supplier_id) LEFT JOIN customers c USING (customer_id) ORDER BY t.trade_id"));
    imported.refusedLines = ledger.rows(QStringLiteral("SELECT line_number, record FROM rejected_lines ORDER BY 1"));
    return imported;
}

TEST(WorkbookIntoLedger, EveryWorkbookGivesTheLedgerRowsOfTheTemplatesLines)
{
    const Imported typed = ImportInto(Workbook("sales.csv"));
    ASSERT_EQ(typed.trades.size(), 5);
    ASSERT_EQ(typed.prompts.value(0), QStringLiteral("CLS-is1002\r\n型が一致しません。"));
    for (const char* name : {"libreoffice.xlsx", "libreoffice.ods", "libreoffice-1904.xlsx", "libreoffice-1904.ods",
                             "excel-style.xlsx", "excel-style-1904.xlsx", "openpyxl.xlsx"}) {
        SCOPED_TRACE(name);
        const Imported workbook = ImportInto(Workbook(name));
        EXPECT_EQ(workbook.trades, typed.trades);
        EXPECT_EQ(workbook.prompts.value(0), QStringLiteral("CLS-is1002\r\nセル H6 はエラー（#N/A）です。"));
        EXPECT_EQ(workbook.prompts.value(1), Totals(6, 5));
        // A report names the sheet beside the row.
        ASSERT_EQ(workbook.reportPlaces.size(), 1);
        EXPECT_TRUE(workbook.reportPlaces[0].endsWith(QStringLiteral("シート|6|数量")))
            << workbook.reportPlaces[0].toStdString();
        EXPECT_EQ(workbook.refusedLines,
                  QStringList{QStringLiteral("6|2024/03/16,文具,北星,ぺん,ボールペン,12345,黒,#N/A,100,,")});
    }
}

// The repeat check knows a workbook by its bytes and the sheet read: a
// second sheet is not the first imported again, the same sheet by another name is.
TEST(WorkbookIntoLedger, TwoSheetsOfOneWorkbookAreTwoFilesToTheRepeatCheck)
{
    const QString book = Workbook("libreoffice.xlsx");
    const auto digestOf = [&](const QString& strSheet) {
        SourceOptions options;
        options.strSheet = strSheet;
        return DigestOfImportFile(book, options).strSha256;
    };
    EXPECT_NE(digestOf(QString()), digestOf(QStringLiteral("仕入")));
    EXPECT_EQ(digestOf(QStringLiteral("仕入")), digestOf(QStringLiteral("2")));
    EXPECT_EQ(digestOf(QString()), digestOf(QStringLiteral("1")));
    EXPECT_NE(digestOf(QString()), DigestFile(book).strSha256);
    EXPECT_EQ(DigestOfImportFile(Workbook("sales.csv"), SourceOptions()).strSha256,
              DigestFile(Workbook("sales.csv")).strSha256);
}

TEST(WorkbookIntoLedger, TheSecondSheetIsImportedByItsNameOrNumber)
{
    for (const QString& strSheet : {QStringLiteral("仕入"), QStringLiteral("2")}) {
        const Imported imported = ImportInto(Workbook("libreoffice.xlsx"), strSheet);
        EXPECT_EQ(imported.trades, QStringList{QStringLiteral(
                                       "0|2024-04-01|ノートパソコン FM-14|FM-14A|のーとぱそこん|富士見電機販売|-|5|"
                                       "98000|490000")});
    }
    const Imported missing = ImportInto(Workbook("libreoffice.xlsx"), QStringLiteral("在庫"));
    EXPECT_EQ(missing.prompts, (QStringList{QStringLiteral("CLS-is1000\r\nブックにシート「在庫」がありません。"),
                                            QStringLiteral("選択されたファイルを開けません。")}));
}

TEST(WorkbookIntoLedger, AWorkbookThatCannotBeReadIsRefusedBeforeAnythingIsWritten)
{
    const Imported encrypted = ImportInto(Workbook("encrypted.xlsx"));
    EXPECT_EQ(encrypted.prompts, (QStringList{QStringLiteral("CLS-is1000\r\n")
                                                  + QString::fromUtf8("パスワードで保護されているため読めません。"
                                                                      "パスワードを外して保存してから選んで下さい。"),
                                              QStringLiteral("選択されたファイルを開けません。")}));
}

}  // namespace
