#include "WorkbookTestKit.h"

#include <gtest/gtest.h>

namespace {

// Styles: 0 general, 1 built-in date, 2 grouped, 3 custom era date, 4 time.
const QByteArray kStyles = "<numFmts><numFmt numFmtId=\"176\" formatCode=\"[$-411]ggge&quot;年&quot;m&quot;月&quot;d"
                           "&quot;日&quot;\"/></numFmts>"
                           "<cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs>"
                           "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"3\"/>"
                           "<xf numFmtId=\"176\"/><xf numFmtId=\"20\"/></cellXfs>";

QString WriteXlsx(const ScratchDir& dir, const XlsxParts& parts, const QString& strName = QStringLiteral("b.xlsx"))
{
    const QString strPath = dir.path(strName);
    WriteZip(strPath, XlsxEntries(parts));
    return strPath;
}

XlsxParts OneSheet(const QByteArray& sheetData, const QByteArray& sharedStrings = {})
{
    XlsxParts parts;
    parts.sheets = {{QStringLiteral("売上"), sheetData}};
    parts.sharedStrings = sharedStrings;
    parts.styles = kStyles;
    return parts;
}

TEST(XlsxReader, CellsAreReadByTheirTypeNeverByTheirLook)
{
    const QByteArray strings = "<si><t>00123</t></si>"
                               "<si><r><rPr><b/></rPr><t>株式会社</t></r><r><t xml:space=\"preserve\"> 丸山</t></r>"
                               "<rPh sb=\"0\" eb=\"4\"><t>カブシキガイシャ</t></rPh><phoneticPr fontId=\"1\"/></si>"
                               "<si><t>北山商店</t><rPh sb=\"0\" eb=\"4\"><t>キタヤマショウテン</t></rPh></si>"
                               "<si><t>a_x000D__x000A_b _x005F_x0041_</t></si>"
                               "<si><t></t></si>";
    const struct {
        const char* what;
        QByteArray cell;
        WorkbookCell read;
    } cases[] = {
        {"shared text with leading zeros", "<c r=\"A1\" t=\"s\"><v>0</v></c>",
         WorkbookCell::OfText(QStringLiteral("00123"))},
        {"rich runs joined, phonetic guide left out", "<c r=\"A1\" t=\"s\"><v>1</v></c>",
         WorkbookCell::OfText(QStringLiteral("株式会社 丸山"))},
        {"phonetic guide left out", "<c r=\"A1\" t=\"s\"><v>2</v></c>",
         WorkbookCell::OfText(QStringLiteral("北山商店"))},
        {"escaped characters", "<c r=\"A1\" t=\"s\"><v>3</v></c>",
         WorkbookCell::OfText(QStringLiteral("a\r\nb _x0041_"))},
        {"empty shared text is no value", "<c r=\"A1\" t=\"s\"><v>4</v></c>", WorkbookCell()},
        {"inline text", "<c r=\"A1\" t=\"inlineStr\"><is><t>ノート</t><rPh><t>ノート</t></rPh></is></c>",
         WorkbookCell::OfText(QStringLiteral("ノート"))},
        {"formula text", "<c r=\"A1\" t=\"str\"><f>PHONETIC(B1)</f><v>きたやま</v></c>",
         WorkbookCell::OfText(QStringLiteral("きたやま"))},
        {"formula giving the empty text", "<c r=\"A1\" t=\"str\"><f>\"\"</f><v></v></c>", WorkbookCell()},
        {"whole number", "<c r=\"A1\"><v>128000</v></c>", WorkbookCell::OfNumber(128000)},
        {"grouped number", "<c r=\"A1\" s=\"2\" t=\"n\"><v>128000</v></c>", WorkbookCell::OfNumber(128000)},
        {"fraction", "<c r=\"A1\"><v>0.5</v></c>", WorkbookCell::OfNumber(0.5)},
        {"formula number", "<c r=\"A1\" s=\"2\"><f>1240*2</f><v>2480</v></c>", WorkbookCell::OfNumber(2480)},
        {"shared formula", "<c r=\"A1\"><f t=\"shared\" si=\"0\"/><v>7</v></c>", WorkbookCell::OfNumber(7)},
        {"date by built-in format", "<c r=\"A1\" s=\"1\"><v>45296</v></c>", WorkbookCell::OfDate(QDate(2024, 1, 5))},
        {"date by custom era format", "<c r=\"A1\" s=\"3\"><v>45366.75</v></c>",
         WorkbookCell::OfDate(QDate(2024, 3, 15))},
        {"time stays a number", "<c r=\"A1\" s=\"4\"><v>0.375</v></c>", WorkbookCell::OfNumber(0.375)},
        {"style out of range is general", "<c r=\"A1\" s=\"99\"><v>45296</v></c>", WorkbookCell::OfNumber(45296)},
        {"ISO date cell", "<c r=\"A1\" t=\"d\"><v>2024-01-05T09:30:00</v></c>",
         WorkbookCell::OfDate(QDate(2024, 1, 5))},
        {"true", "<c r=\"A1\" t=\"b\"><v>1</v></c>", WorkbookCell::OfBoolean(true)},
        {"false", "<c r=\"A1\" t=\"b\"><v>0</v></c>", WorkbookCell::OfBoolean(false)},
        {"error", "<c r=\"A1\" t=\"e\"><f>NA()</f><v>#N/A</v></c>", WorkbookCell::OfError(QStringLiteral("#N/A"))},
        {"formula never computed", "<c r=\"A1\"><f>1+1</f><v></v></c>", WorkbookCell::OfError(QString())},
        {"formula without a value element", "<c r=\"A1\"><f>1+1</f></c>", WorkbookCell::OfError(QString())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScratchDir dir;
        const std::vector<WorkbookCell> cells = FirstRowCells(
            WriteXlsx(dir, OneSheet("<row r=\"1\">" + c.cell + "<c r=\"B1\"><v>1</v></c></row>", strings)));
        ASSERT_EQ(cells.size(), 2u);
        EXPECT_EQ(cells[0], c.read);
    }
}

TEST(XlsxReader, RowsAndCellsArePlacedByTheirReferences)
{
    const ScratchDir dir;
    const std::vector<WorkbookRow> rows = RowsOf(WriteXlsx(
        dir, OneSheet("<row r=\"2\"><c r=\"C2\"><v>3</v></c><c r=\"E2\" s=\"1\"/></row>"
                      "<row r=\"3\"><c r=\"A3\" s=\"1\"/></row>"   // styled, no value: no row
                      "<row><c><v>1</v></c><c><v>2</v></c></row>"  // no references: the next row, the next cells
                      "<row r=\"7\" spans=\"1:2\"><c r=\"AA7\"><v>9</v></c></row>")));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].lngRow, 2);
    EXPECT_EQ(rows[0].cells, (std::vector<WorkbookCell>{WorkbookCell(), WorkbookCell(), WorkbookCell::OfNumber(3)}));
    EXPECT_EQ(rows[1].lngRow, 4);
    EXPECT_EQ(rows[1].cells, (std::vector<WorkbookCell>{WorkbookCell::OfNumber(1), WorkbookCell::OfNumber(2)}));
    EXPECT_EQ(rows[2].lngRow, 7);
    EXPECT_EQ(rows[2].cells.size(), 27u);
}

TEST(XlsxReader, PartsAreFoundByAbsoluteAndRelativeNamesAndSheetsInTheWorkbooksOrder)
{
    for (const bool blnAbsolute : {false, true}) {
        SCOPED_TRACE(blnAbsolute ? "absolute" : "relative");
        const ScratchDir dir;
        XlsxParts parts;
        parts.sheets = {
            {QStringLiteral("売上"), "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"},
            {QStringLiteral("仕入"), "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>b</t></is></c></row>"}};
        parts.sharedStrings = "<si><t>a</t></si>";
        parts.blnAbsoluteTargets = blnAbsolute;
        const QString strPath = WriteXlsx(dir, parts);
        EXPECT_EQ(Workbook::Open(strPath)->SheetNames(), (QStringList{QStringLiteral("売上"), QStringLiteral("仕入")}));
        EXPECT_EQ(FirstRowCells(strPath), std::vector<WorkbookCell>{WorkbookCell::OfText(QStringLiteral("a"))});
        EXPECT_EQ(RowsOf(strPath, 1).at(0).cells, std::vector<WorkbookCell>{WorkbookCell::OfText(QStringLiteral("b"))});
    }
}

TEST(XlsxReader, The1904DateSystemCountsFromItsOwnFirstDay)
{
    const ScratchDir dir;
    XlsxParts parts = OneSheet("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>43834</v></c></row>");
    parts.workbookPr = "<workbookPr date1904=\"true\"/>";
    EXPECT_EQ(FirstRowCells(WriteXlsx(dir, parts)), std::vector<WorkbookCell>{WorkbookCell::OfDate(QDate(2024, 1, 5))});
}

TEST(XlsxReader, ChartSheetsAreNoSheetsAndAWorkbookWithoutWorksheetsIsRefused)
{
    const ScratchDir dir;
    std::vector<ZipEntry> entries = XlsxEntries(OneSheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
    for (ZipEntry& entry : entries) {
        if (entry.strName == u"xl/_rels/workbook.xml.rels")
            entry.content.replace("relationships/worksheet", "relationships/chartsheet");
    }
    const QString strPath = dir.path(QStringLiteral("chart.xlsx"));
    WriteZip(strPath, entries);
    EXPECT_EQ(RefusalOf([&] { Workbook::Open(strPath); }), WorkbookError::NoSheet());
}

// Writes a package whose parts are those of a good workbook, changed.
QString WriteChanged(const ScratchDir& dir, const QString& strPart, const QByteArray& content)
{
    std::vector<ZipEntry> entries = XlsxEntries(OneSheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
    for (ZipEntry& entry : entries) {
        if (entry.strName == strPart)
            entry.content = content;
    }
    const QString strPath = dir.path(QStringLiteral("changed.xlsx"));
    WriteZip(strPath, entries);
    return strPath;
}

TEST(XlsxReader, BrokenSheetsAreRefusedWithAPlainReason)
{
    const QString strSheet = QStringLiteral("xl/worksheets/sheet1.xml");
    const QByteArray start =
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    const struct {
        const char* what;
        QByteArray sheet;
        QString strReason;
    } cases[] = {
        {"not well-formed", start + "<row r=\"1\"><c r=\"A1\"><v>1</v></row></sheetData></worksheet>",
         WorkbookError::Damaged()},
        {"cut short", start + "<row r=\"1\"><c r=\"A1\"><v>1", WorkbookError::Damaged()},
        {"a row twice",
         start
             + "<row r=\"1\"><c><v>1</v></c></row><row r=\"1\"><c><v>1</v></c></row></sheetData>"
               "</worksheet>",
         WorkbookError::Damaged()},
        {"cells out of order",
         start
             + "<row r=\"1\"><c r=\"B1\"><v>1</v></c><c r=\"A1\"><v>1</v></c></row>"
               "</sheetData></worksheet>",
         WorkbookError::Damaged()},
        {"a number that is none", start + "<row r=\"1\"><c r=\"A1\"><v>12x</v></c></row></sheetData></worksheet>",
         WorkbookError::Damaged()},
        {"a shared string that is not there",
         start + "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>5</v></c></row></sheetData></worksheet>",
         WorkbookError::Damaged()},
        {"a type that is none", start + "<row r=\"1\"><c r=\"A1\" t=\"q\"><v>1</v></c></row></sheetData></worksheet>",
         WorkbookError::Damaged()},
        {"a document type declaration",
         "<!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaa\">]>" + start + "</sheetData></worksheet>",
         WorkbookError::Damaged()},
        {"a row past the last", start + "<row r=\"1048577\"><c><v>1</v></c></row></sheetData></worksheet>",
         WorkbookError::PastTheLimits()},
        {"a column past the last", start + "<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row></sheetData></worksheet>",
         WorkbookError::PastTheLimits()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScratchDir dir;
        const QString strPath = WriteChanged(dir, strSheet, c.sheet);
        EXPECT_EQ(RefusalOf([&] { RowsOf(strPath); }), c.strReason);
    }
}

TEST(XlsxReader, PackagesThatAreNoWorkbookAreRefusedWithAPlainReason)
{
    const ScratchDir dir;
    const QString strGood = WriteXlsx(dir, OneSheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
    QFile good(strGood);
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();

    const QString strNoWorkbook = dir.path(QStringLiteral("photos.xlsx"));
    WriteZip(strNoWorkbook, {{QStringLiteral("photo.jpg"), "jpeg"}});
    const QString strBinary = dir.path(QStringLiteral("binary.xlsx"));
    WriteZip(strBinary,
             {{QStringLiteral("_rels/.rels"), "<Relationships><Relationship Id=\"r\" Type=\"x/officeDocument\" "
                                              "Target=\"xl/workbook.bin\"/></Relationships>"},
              {QStringLiteral("xl/workbook.bin"), "binary"}});
    const QString strWriter = dir.path(QStringLiteral("letter.ods"));
    WriteZip(strWriter, {{QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.text"}});

    const struct {
        const char* what;
        QString strPath;
        QString strReason;
    } cases[] = {
        {"a CSV file renamed", dir.writeUtf8(QStringLiteral("lines.xlsx"), QStringLiteral("日付,種別\n")),
         WorkbookError::NotAWorkbook()},
        {"an empty file", dir.write(QStringLiteral("empty.xlsx"), QByteArray()), WorkbookError::NotAWorkbook()},
        {"a zip of something else", strNoWorkbook, WorkbookError::NotAWorkbook()},
        {"a binary workbook", strBinary, WorkbookError::NotAWorkbook()},
        {"a text document", strWriter, WorkbookError::NotAWorkbook()},
        {"cut short", dir.write(QStringLiteral("cut.xlsx"), bytes.left(bytes.size() / 2)), WorkbookError::Damaged()},
        {"a file that is not there", dir.path(QStringLiteral("missing.xlsx")), WorkbookError::CannotOpen()},
        {"encrypted by Excel", QStringLiteral(MORA_WORKBOOK_DATA_DIR "/encrypted.xlsx"), WorkbookError::Encrypted()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RefusalOf([&] { RowsOf(c.strPath); }), c.strReason);
    }
}

TEST(XlsxReader, APartPastItsLimitIsRefusedWhateverItsDeclaredSize)
{
    const ScratchDir dir;
    QByteArray rows;
    for (int i = 1; i <= 200; ++i)
        rows += "<row r=\"" + QByteArray::number(i) + "\"><c><v>1</v></c></row>";
    const QString strPath = WriteXlsx(dir, OneSheet(rows));
    WorkbookLimits small;
    small.lngPartBytes = 2000;
    EXPECT_EQ(RefusalOf([&] { RowsOf(strPath, 0, small); }), WorkbookError::PastTheLimits());
    EXPECT_EQ(RowsOf(strPath).size(), 200u);

    WorkbookLimits fewCells;
    fewCells.lngCells = 150;
    EXPECT_EQ(RefusalOf([&] { RowsOf(strPath, 0, fewCells); }), WorkbookError::PastTheLimits());
}

TEST(XlsxReader, ASheetOutlivesItsWorkbookAndTwoSheetsReadSideBySide)
{
    const ScratchDir dir;
    XlsxParts parts;
    parts.sheets = {{QStringLiteral("a"), "<row r=\"1\"><c><v>1</v></c></row><row r=\"2\"><c><v>2</v></c></row>"},
                    {QStringLiteral("b"), "<row r=\"1\"><c><v>3</v></c></row>"}};
    const QString strPath = WriteXlsx(dir, parts);
    std::unique_ptr<WorkbookSheet> first;
    std::unique_ptr<WorkbookSheet> second;
    {
        std::unique_ptr<Workbook> book = Workbook::Open(strPath);
        first = book->OpenSheet(0);
        second = book->OpenSheet(1);
    }
    WorkbookRow row;
    ASSERT_TRUE(first->NextRow(row));
    EXPECT_EQ(row.cells.at(0), WorkbookCell::OfNumber(1));
    ASSERT_TRUE(second->NextRow(row));
    EXPECT_EQ(row.cells.at(0), WorkbookCell::OfNumber(3));
    ASSERT_TRUE(first->NextRow(row));
    EXPECT_EQ(row.lngRow, 2);
    EXPECT_FALSE(first->NextRow(row));
    EXPECT_FALSE(first->NextRow(row));
    EXPECT_FALSE(second->NextRow(row));
}

}  // namespace
