#include "WorkbookTestKit.h"

#include <gtest/gtest.h>

namespace {

// A sheet of the rows given.
class FakeSheet : public WorkbookSheet {
public:
    explicit FakeSheet(std::vector<WorkbookRow> rows) : m_rows(std::move(rows)) { }
    bool NextRow(WorkbookRow& row) override
    {
        if (m_next == m_rows.size())
            return false;
        row = m_rows[m_next++];
        return true;
    }

private:
    std::vector<WorkbookRow> m_rows;
    size_t m_next = 0;
};

WorkbookCell Text(const char* text) { return WorkbookCell::OfText(QString::fromUtf8(text)); }

WorkbookRecordSource SourceOf(std::vector<WorkbookRow> rows, int64_t lngHeaderRow = 1)
{
    return WorkbookRecordSource(std::make_unique<FakeSheet>(std::move(rows)), QStringLiteral("売上"), lngHeaderRow);
}

TEST(WorkbookRecordSource, CellsBecomeTheTextsAClerkWouldType)
{
    const struct {
        const char* what;
        WorkbookCell cell;
        QString strText;
    } cases[] = {
        {"empty", WorkbookCell(), QString()},
        {"text as typed", Text("00123"), QStringLiteral("00123")},
        {"whole number", WorkbookCell::OfNumber(128000.0), QStringLiteral("128000")},
        {"fraction", WorkbookCell::OfNumber(0.5), QStringLiteral("0.5")},
        {"negative", WorkbookCell::OfNumber(-1500), QStringLiteral("-1500")},
        {"negative zero", WorkbookCell::OfNumber(-0.0), QStringLiteral("0")},
        {"binary fraction shown as Excel shows it", WorkbookCell::OfNumber(0.1 + 0.2), QStringLiteral("0.3")},
        {"fifteen digits", WorkbookCell::OfNumber(123456789012345), QStringLiteral("123456789012345")},
        {"date", WorkbookCell::OfDate(QDate(2024, 1, 5)), QStringLiteral("2024/01/05")},
        {"true", WorkbookCell::OfBoolean(true), QStringLiteral("TRUE")},
        {"false", WorkbookCell::OfBoolean(false), QStringLiteral("FALSE")},
        {"error", WorkbookCell::OfError(QStringLiteral("#DIV/0!")), QStringLiteral("#DIV/0!")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CellText(c.cell), c.strText);
    }
}

TEST(WorkbookRecordSource, RowsBelowTheHeaderRowAreRecordsNumberedByTheirRow)
{
    WorkbookRecordSource source = SourceOf(
        {
            {1, {Text("title")}},
            {3, {Text("日付"), Text("種別"), Text("メーカー")}},
            {5, {WorkbookCell::OfDate(QDate(2024, 1, 5)), Text("文具")}},
            {9, {WorkbookCell(), WorkbookCell(), Text("北星"), WorkbookCell::OfNumber(2)}},
        },
        3);
    EXPECT_EQ(source.HeaderFields(),
              (QStringList{QStringLiteral("日付"), QStringLiteral("種別"), QStringLiteral("メーカー")}));
    ASSERT_FALSE(source.AtEnd());
    const SourceRecord first = source.Next();
    EXPECT_EQ(first.lngLineNumber, 5);
    // Padded to the header, as a CSV file saved from the sheet has it.
    EXPECT_EQ(first.fields, (QStringList{QStringLiteral("2024/01/05"), QStringLiteral("文具"), QString()}));
    EXPECT_EQ(first.strRecord, QStringLiteral("2024/01/05,文具,"));
    EXPECT_FALSE(first.blnNoData);
    EXPECT_TRUE(first.faults.empty());
    const SourceRecord second = source.Next();
    EXPECT_EQ(second.lngLineNumber, 9);
    EXPECT_EQ(second.fields, (QStringList{QString(), QString(), QStringLiteral("北星"), QStringLiteral("2")}));
    EXPECT_TRUE(source.AtEnd());
    EXPECT_EQ(source.PlaceName(), QStringLiteral("「売上」シート"));
}

TEST(WorkbookRecordSource, ASheetWithoutItsHeaderRowHasNoHeaderAndItsLaterRowsAreRecords)
{
    WorkbookRecordSource empty = SourceOf({});
    EXPECT_TRUE(empty.HeaderFields().isEmpty());
    EXPECT_TRUE(empty.AtEnd());

    WorkbookRecordSource noHeader = SourceOf({{2, {Text("a")}}});
    EXPECT_TRUE(noHeader.HeaderFields().isEmpty());
    ASSERT_FALSE(noHeader.AtEnd());
    EXPECT_EQ(noHeader.Next().lngLineNumber, 2);
}

TEST(WorkbookRecordSource, AnErrorCellRefusesItsLineNamingTheCell)
{
    WorkbookRecordSource source = SourceOf({
        {1, {Text("a"), Text("b"), Text("c"), Text("d")}},
        {7, {Text("x"), WorkbookCell(), WorkbookCell(), WorkbookCell::OfError(QStringLiteral("#N/A"))}},
        {8, {WorkbookCell::OfError(QString())}},
    });
    source.HeaderFields();
    const SourceRecord error = source.Next();
    ASSERT_EQ(error.faults.size(), 1u);
    EXPECT_EQ(error.faults[0].intColumn, 4);
    EXPECT_EQ(error.faults[0].strText, QStringLiteral("セル D7 はエラー（#N/A）です。"));
    EXPECT_EQ(error.fields.value(3), QStringLiteral("#N/A"));
    EXPECT_FALSE(error.blnNoData);
    const SourceRecord uncomputed = source.Next();
    ASSERT_EQ(uncomputed.faults.size(), 1u);
    EXPECT_EQ(uncomputed.faults[0].intColumn, 1);
    EXPECT_EQ(uncomputed.faults[0].strText, QStringLiteral("セル A8 の式には計算された値がありません。"));
    EXPECT_FALSE(uncomputed.blnNoData);
}

TEST(WorkbookRecordSource, TheRecordAsTheLedgerKeepsItIsOneCsvLine)
{
    const struct {
        const char* what;
        std::vector<WorkbookCell> cells;
        QString strRecord;
        bool blnNoData;
    } cases[] = {
        {"plain", {Text("a"), WorkbookCell::OfNumber(2)}, QStringLiteral("a,2"), false},
        {"a comma", {Text("14型, Core i5")}, QStringLiteral("\"14型, Core i5\","), false},
        {"quotes", {Text("A4 \"罫線\"")}, QStringLiteral("\"A4 \"\"罫線\"\"\","), false},
        {"a line break", {Text("a\nb")}, QStringLiteral("\"a\nb\","), false},
        {"a row of empty texts", {WorkbookCell(), WorkbookCell()}, QStringLiteral(","), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WorkbookRecordSource source = SourceOf({{1, {Text("h1"), Text("h2")}}, {2, c.cells}});
        const SourceRecord record = source.Next();
        EXPECT_EQ(record.strRecord, c.strRecord);
        EXPECT_EQ(record.blnNoData, c.blnNoData);
    }
}

}  // namespace
