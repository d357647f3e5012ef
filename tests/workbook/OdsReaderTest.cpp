#include "WorkbookTestKit.h"

#include <gtest/gtest.h>

namespace {

QString WriteOds(const ScratchDir& dir, const QByteArray& tables)
{
    const QString strPath = dir.path(QStringLiteral("b.ods"));
    WriteZip(strPath, OdsEntries(tables));
    return strPath;
}

QByteArray Table(const QByteArray& rows, const QByteArray& name = "売上")
{
    return "<table:table table:name=\"" + name + "\"><table:table-column table:number-columns-repeated=\"16384\"/>"
           + rows + "</table:table>";
}

TEST(OdsReader, CellsAreReadByTheirTypeNeverByTheirLook)
{
    const struct {
        const char* what;
        QByteArray cell;
        WorkbookCell read;
    } cases[] = {
        {"text with leading zeros",
         "<table:table-cell office:value-type=\"string\"><text:p>00123</text:p></table:table-cell>",
         WorkbookCell::OfText(QStringLiteral("00123"))},
        {"spans, spaces and a tab",
         "<table:table-cell office:value-type=\"string\"><text:p>A4<text:s text:c=\"2\"/><text:span>罫線</text:span>"
         "<text:tab/>30</text:p></table:table-cell>",
         WorkbookCell::OfText(QStringLiteral("A4  罫線\t30"))},
        {"white space collapsed",
         "<table:table-cell office:value-type=\"string\"><text:p>a \n  b</text:p></table:table-cell>",
         WorkbookCell::OfText(QStringLiteral("a b"))},
        {"paragraphs and a line break",
         "<table:table-cell office:value-type=\"string\"><text:p>a<text:line-break/>b</text:p><text:p>c</text:p>"
         "</table:table-cell>",
         WorkbookCell::OfText(QStringLiteral("a\nb\nc"))},
        {"a note is not the text",
         "<table:table-cell office:value-type=\"string\"><office:annotation><text:p>memo</text:p></office:annotation>"
         "<text:p>x</text:p></table:table-cell>",
         WorkbookCell::OfText(QStringLiteral("x"))},
        {"a reading is not the text",
         "<table:table-cell office:value-type=\"string\"><text:p><text:ruby><text:ruby-base>北山</text:ruby-base>"
         "<text:ruby-text>きたやま</text:ruby-text></text:ruby></text:p></table:table-cell>",
         WorkbookCell::OfText(QStringLiteral("北山"))},
        {"text only in its attribute", "<table:table-cell office:value-type=\"string\" office:string-value=\"abc\"/>",
         WorkbookCell::OfText(QStringLiteral("abc"))},
        {"grouped number",
         "<table:table-cell office:value-type=\"float\" office:value=\"128000\"><text:p>128,000</text:p>"
         "</table:table-cell>",
         WorkbookCell::OfNumber(128000)},
        {"percentage",
         "<table:table-cell office:value-type=\"percentage\" office:value=\"0.05\"><text:p>5%</text:p>"
         "</table:table-cell>",
         WorkbookCell::OfNumber(0.05)},
        {"currency",
         "<table:table-cell office:value-type=\"currency\" office:currency=\"JPY\" office:value=\"980\">"
         "<text:p>￥980</text:p></table:table-cell>",
         WorkbookCell::OfNumber(980)},
        {"formula number",
         "<table:table-cell table:formula=\"of:=1240*2\" office:value-type=\"float\" "
         "office:value=\"2480\"><text:p>2,480</text:p></table:table-cell>",
         WorkbookCell::OfNumber(2480)},
        {"date",
         "<table:table-cell office:value-type=\"date\" office:date-value=\"2024-01-05\"><text:p>1月5日</text:p>"
         "</table:table-cell>",
         WorkbookCell::OfDate(QDate(2024, 1, 5))},
        {"date and time", "<table:table-cell office:value-type=\"date\" office:date-value=\"2024-04-02T15:30:00\"/>",
         WorkbookCell::OfDate(QDate(2024, 4, 2))},
        {"time", "<table:table-cell office:value-type=\"time\" office:time-value=\"PT09H00M00S\"/>",
         WorkbookCell::OfNumber(0.375)},
        {"boolean", "<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"true\"/>",
         WorkbookCell::OfBoolean(true)},
        {"error",
         "<table:table-cell table:formula=\"of:=NA()\" office:value-type=\"string\" office:string-value=\"\" "
         "calcext:value-type=\"error\"><text:p>#N/A</text:p></table:table-cell>",
         WorkbookCell::OfError(QStringLiteral("#N/A"))},
        {"empty text", "<table:table-cell office:value-type=\"string\"><text:p/></table:table-cell>", WorkbookCell()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScratchDir dir;
        const std::vector<WorkbookCell> cells = FirstRowCells(WriteOds(
            dir, Table("<table:table-row>" + c.cell
                       + "<table:table-cell office:value-type=\"float\" office:value=\"1\"/></table:table-row>")));
        ASSERT_EQ(cells.size(), 2u);
        EXPECT_EQ(cells[0], c.read);
    }
}

TEST(OdsReader, RepeatsAreCountedAndOnlyRowsWithValuesAreMade)
{
    const QByteArray one = "<table:table-cell office:value-type=\"float\" office:value=\"1\"/>";
    const ScratchDir dir;
    const std::vector<WorkbookRow> rows = RowsOf(WriteOds(
        dir,
        Table("<table:table-header-rows><table:table-row><table:table-cell table:number-columns-repeated=\"2\"/>" + one
              + "</table:table-row></table:table-header-rows>"
                "<table:table-row table:number-rows-repeated=\"3\"><table:table-cell "
                "table:number-columns-repeated=\"16384\"/></table:table-row>"
                "<table:table-row-group><table:table-row table:number-rows-repeated=\"2\">"
                "<table:table-cell table:number-columns-repeated=\"2\" office:value-type=\"string\">"
                "<text:p>x</text:p></table:table-cell><table:covered-table-cell office:value-type=\"float\" "
                "office:value=\"5\"/>"
              + one
              + "<table:table-cell table:number-columns-repeated=\"16380\"/></table:table-row>"
                "</table:table-row-group>"
                "<table:table-row table:number-rows-repeated=\"1048000\"><table:table-cell "
                "table:number-columns-repeated=\"16384\"/></table:table-row>"
                "<table:table-row><table:table-cell table:number-columns-repeated=\"16383\"/>"
              + one + "</table:table-row>")));
    const WorkbookCell x = WorkbookCell::OfText(QStringLiteral("x"));
    const WorkbookCell number = WorkbookCell::OfNumber(1);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].lngRow, 1);
    EXPECT_EQ(rows[0].cells, (std::vector<WorkbookCell>{WorkbookCell(), WorkbookCell(), number}));
    for (const int i : {1, 2}) {
        EXPECT_EQ(rows[size_t(i)].lngRow, 4 + i);
        // The covered cell shows nothing, whatever it keeps.
        EXPECT_EQ(rows[size_t(i)].cells, (std::vector<WorkbookCell>{x, x, WorkbookCell(), number}));
    }
    EXPECT_EQ(rows[3].lngRow, 1048007);
    EXPECT_EQ(rows[3].cells.size(), 16384u);
}

TEST(OdsReader, SheetsAreReadInTheirOrderEachOnItsOwn)
{
    const ScratchDir dir;
    const QString strPath =
        WriteOds(dir, "<table:calculation-settings/>"
                          + Table("<table:table-row><table:table-cell office:value-type=\"float\" office:value=\"1\"/>"
                                  "</table:table-row>")
                          + Table("<table:table-row><table:table-cell office:value-type=\"float\" office:value=\"2\"/>"
                                  "</table:table-row>",
                                  "仕入"));
    EXPECT_EQ(Workbook::Open(strPath)->SheetNames(), (QStringList{QStringLiteral("売上"), QStringLiteral("仕入")}));
    EXPECT_EQ(RowsOf(strPath, 1).at(0).cells, std::vector<WorkbookCell>{WorkbookCell::OfNumber(2)});
}

TEST(OdsReader, RepeatsPastTheSheetAndBrokenContentAreRefused)
{
    const QByteArray x = "office:value-type=\"string\"><text:p>x</text:p></table:table-cell>";
    const struct {
        const char* what;
        QByteArray rows;
        QString strReason;
    } cases[] = {
        {"a value repeated past the last column",
         "<table:table-row><table:table-cell table:number-columns-repeated=\"16385\" " + x + "</table:table-row>",
         WorkbookError::PastTheLimits()},
        {"a row of values repeated past the last row",
         "<table:table-row table:number-rows-repeated=\"1048577\"><table:table-cell " + x + "</table:table-row>",
         WorkbookError::PastTheLimits()},
        {"spaces past the longest text",
         "<table:table-row><table:table-cell office:value-type=\"string\"><text:p><text:s text:c=\"40000\"/>"
         "</text:p></table:table-cell></table:table-row>",
         WorkbookError::PastTheLimits()},
        {"a repeat of nothing", "<table:table-row table:number-rows-repeated=\"0\"/>", WorkbookError::Damaged()},
        {"a number that is none",
         "<table:table-row><table:table-cell office:value-type=\"float\" office:value=\"x\"/></table:table-row>",
         WorkbookError::Damaged()},
        {"a date that is none",
         "<table:table-row><table:table-cell office:value-type=\"date\" office:date-value=\"2024-13-01\"/>"
         "</table:table-row>",
         WorkbookError::Damaged()},
        {"cut short", "<table:table-row><table:table-cell>", WorkbookError::Damaged()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScratchDir dir;
        const QString strPath = WriteOds(dir, Table(c.rows));
        EXPECT_EQ(RefusalOf([&] { RowsOf(strPath); }), c.strReason);
    }
}

TEST(OdsReader, EncryptedDocumentsAndOthersThanSpreadsheetsAreRefused)
{
    const ScratchDir dir;
    const QString strEncrypted = dir.path(QStringLiteral("secret.ods"));
    std::vector<ZipEntry> entries = OdsEntries(Table(""));
    entries.push_back({QStringLiteral("META-INF/manifest.xml"),
                       "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
                       "<manifest:file-entry manifest:full-path=\"content.xml\"><manifest:encryption-data/>"
                       "</manifest:file-entry></manifest:manifest>"});
    WriteZip(strEncrypted, entries);
    EXPECT_EQ(RefusalOf([&] { Workbook::Open(strEncrypted); }), WorkbookError::Encrypted());

    const QString strNoTables = WriteOds(dir, QByteArray());
    EXPECT_EQ(RefusalOf([&] { Workbook::Open(strNoTables); }), WorkbookError::NoSheet());

    const QString strText = dir.path(QStringLiteral("text.ods"));
    WriteZip(strText, {{QStringLiteral("content.xml"),
                        "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">"
                        "<office:body><office:text/></office:body></office:document-content>"}});
    EXPECT_EQ(RefusalOf([&] { Workbook::Open(strText); }), WorkbookError::NotAWorkbook());
}

}  // namespace
