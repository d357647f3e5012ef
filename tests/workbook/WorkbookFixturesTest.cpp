// The same sales lines, as LibreOffice, Excel's layout and openpyxl write
// them (tests/data/workbooks, made by scripts/make-workbook-samples.sh),
// give the same records: those of the lines typed into the template.
#include "WorkbookTestKit.h"

#include <gtest/gtest.h>

namespace {

QString Fixture(const char* name) { return QStringLiteral(MORA_WORKBOOK_DATA_DIR "/") + QString::fromUtf8(name); }

const char* const kSameRecords[] = {
    "libreoffice.xlsx", "libreoffice.ods",       "libreoffice-1904.xlsx", "libreoffice-1904.ods",
    "excel-style.xlsx", "excel-style-1904.xlsx", "openpyxl.xlsx",
};

struct ExpectedRecord {
    int64_t lngLine;
    const char* fields;  // as one CSV line
    const char* fault;   // or null
};

const ExpectedRecord kSales[] = {
    {2,
     "2024/05/07,パソコン,富士見電機,のーとぱそこん,ノートパソコン FM-14,00123,\"14型, Core i5, 16GB\",2,128000,"
     "かぶしきがいしゃ まるやましょうかい,株式会社 丸山商会",
     nullptr},
    {3, "2024/01/05,周辺機器,ミナト工業,わいやれすまうす,ワイヤレスマウス,MW-300,USB レシーバー付,2,2480,,", nullptr},
    {5, "2024/03/15,文具,北星,のーと,ノート,0042,\"A4 \"\"罫線\"\" 30枚\",10,120,きたやましょうてん,北山商店", nullptr},
    {6, "2024/03/16,文具,北星,ぺん,ボールペン,12345,黒,#N/A,100,,", "セル H6 はエラー（#N/A）です。"},
    {7, "2024/4/1,文具,北星,けしごむ,消しゴム,E-1,,3,80,,", nullptr},
    {8, "2024/04/02,文具,北星,ふせん,付箋,F-75,75mm,1,1000,,", nullptr},
};

const QStringList kSalesHeader =
    QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,販売単価,ふりがな,販売先").split(u',');

TEST(WorkbookFixtures, EveryWriterGivesTheRecordsOfTheLinesTypedIntoTheTemplate)
{
    for (const char* name : kSameRecords) {
        SCOPED_TRACE(name);
        const SheetRecords sheet = RecordsOf(Fixture(name));
        EXPECT_EQ(sheet.header, kSalesHeader);
        EXPECT_EQ(sheet.strPlace, QStringLiteral("「売上」シート"));
        ASSERT_EQ(sheet.records.size(), std::size(kSales));
        for (size_t i = 0; i < std::size(kSales); ++i) {
            const SourceRecord& record = sheet.records[i];
            SCOPED_TRACE(record.lngLineNumber);
            EXPECT_EQ(record.lngLineNumber, kSales[i].lngLine);
            EXPECT_EQ(record.strRecord, QString::fromUtf8(kSales[i].fields));
            EXPECT_EQ(record.fields.size(), 11);
            EXPECT_FALSE(record.blnNoData);
            ASSERT_EQ(record.faults.size(), kSales[i].fault ? 1u : 0u);
            if (kSales[i].fault) {
                EXPECT_EQ(record.faults[0].strText, QString::fromUtf8(kSales[i].fault));
            }
        }
    }
}

TEST(WorkbookFixtures, TheRecordsAreThoseOfTheTemplateCsv)
{
    QFile csv(Fixture("sales.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), qsizetype(std::size(kSales)) + 1);
    EXPECT_EQ(lines[0], kSalesHeader.join(u','));
    for (size_t i = 0; i < std::size(kSales); ++i)
        EXPECT_EQ(lines[qsizetype(i) + 1], QString::fromUtf8(kSales[i].fields));
}

TEST(WorkbookFixtures, TheSecondSheetIsChosenByItsNumber)
{
    for (const char* name :
         {"libreoffice.xlsx", "libreoffice.ods", "libreoffice.xls", "excel-style.xlsx", "openpyxl.xlsx"}) {
        SCOPED_TRACE(name);
        const SheetRecords sheet = RecordsOf(Fixture(name), 1);
        EXPECT_EQ(sheet.strPlace, QStringLiteral("「仕入」シート"));
        EXPECT_EQ(sheet.header.value(10), QStringLiteral("仕入先"));
        ASSERT_EQ(sheet.records.size(), 1u);
        EXPECT_EQ(
            sheet.records[0].strRecord,
            QStringLiteral("2024/04/01,パソコン,富士見電機,のーとぱそこん,ノートパソコン FM-14,FM-14A,14型,5,98000,"
                           "ふじみでんきはんばい,富士見電機販売"));
    }
}

// .xls goes through freexl, which keeps no formula's result: the cells
// of =1240*2 and =NA() come back empty. Everything else is the same.
TEST(WorkbookFixtures, XlsGivesTheSameRecordsButForItsFormulas)
{
    for (const char* name : {"libreoffice.xls", "libreoffice-1904.xls"}) {
        SCOPED_TRACE(name);
        const SheetRecords sheet = RecordsOf(Fixture(name));
        EXPECT_EQ(sheet.header, kSalesHeader);
        ASSERT_EQ(sheet.records.size(), std::size(kSales));
        for (size_t i = 0; i < std::size(kSales); ++i) {
            QString strExpected = QString::fromUtf8(kSales[i].fields);
            strExpected.replace(QStringLiteral(",2,2480,,"), QStringLiteral(",2,,,"));
            strExpected.replace(QStringLiteral(",#N/A,"), QStringLiteral(",,"));
            EXPECT_EQ(sheet.records[i].lngLineNumber, kSales[i].lngLine);
            EXPECT_EQ(sheet.records[i].strRecord, strExpected);
            EXPECT_TRUE(sheet.records[i].faults.empty());
        }
    }
}

TEST(WorkbookFixtures, AFormulaSavedWithoutItsResultRefusesItsLine)
{
    const std::vector<WorkbookRow> rows = RowsOf(Fixture("openpyxl.xlsx"), 2);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].cells, std::vector<WorkbookCell>{WorkbookCell::OfError(QString())});
}

}  // namespace
