#include "WorkbookTestKit.h"

#include <gtest/gtest.h>

namespace {

QString Fixture(const char* name) { return QStringLiteral(MORA_WORKBOOK_DATA_DIR "/") + QString::fromUtf8(name); }

TEST(XlsReader, CellsComeByTheTypeFreexlGives)
{
    for (const char* name : {"libreoffice.xls", "libreoffice-1904.xls"}) {
        SCOPED_TRACE(name);
        const QString strPath = Fixture(name);
        EXPECT_EQ(Workbook::Open(strPath)->SheetNames(), (QStringList{QStringLiteral("売上"), QStringLiteral("仕入")}));
        const std::vector<WorkbookRow> rows = RowsOf(strPath);
        ASSERT_EQ(rows.size(), 7u);
        EXPECT_EQ(rows[1].lngRow, 2);
        const std::vector<WorkbookCell>& cells = rows[1].cells;
        ASSERT_EQ(cells.size(), 11u);
        EXPECT_EQ(cells[0], WorkbookCell::OfDate(QDate(2024, 5, 7)));
        EXPECT_EQ(cells[5], WorkbookCell::OfText(QStringLiteral("00123")));
        EXPECT_EQ(cells[7], WorkbookCell::OfNumber(2));
        EXPECT_EQ(cells[8], WorkbookCell::OfNumber(128000));
        // The empty row 4 is no row; a date and time is its day.
        EXPECT_EQ(rows[2].lngRow, 3);
        EXPECT_EQ(rows[3].lngRow, 5);
        EXPECT_EQ(rows[6].cells.at(0), WorkbookCell::OfDate(QDate(2024, 4, 2)));
    }
}

// freexl keeps no formula's result: a formula's cell reads as empty, an
// error's too. Should this change, the fixtures' test of all formats must
// then hold for .xls whole.
TEST(XlsReader, FormulasReadAsEmptyCellsThroughFreexl)
{
    const std::vector<WorkbookRow> rows = RowsOf(Fixture("libreoffice.xls"));
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[2].lngRow, 3);
    EXPECT_EQ(rows[2].cells.size(), 8u);  // up to 数量: the price (=1240*2) is gone
    EXPECT_EQ(rows[4].lngRow, 6);
    EXPECT_EQ(rows[4].cells.at(7), WorkbookCell());  // =NA()
}

TEST(XlsReader, BrokenFilesAreRefusedWithAPlainReason)
{
    QFile good(Fixture("libreoffice.xls"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    QByteArray scrambled = bytes;
    for (qsizetype i = 512; i < scrambled.size(); i += 7)
        scrambled[i] = char(scrambled[i] ^ 0x5A);

    const ScratchDir dir;
    const struct {
        const char* what;
        QString strPath;
        QString strReason;
    } cases[] = {
        {"cut short", dir.write(QStringLiteral("cut.xls"), bytes.left(1024)), WorkbookError::Damaged()},
        {"scrambled", dir.write(QStringLiteral("scrambled.xls"), scrambled), WorkbookError::Damaged()},
        {"a compound file header alone", dir.write(QStringLiteral("header.xls"), bytes.left(8)),
         WorkbookError::Damaged()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RefusalOf([&] { RowsOf(c.strPath); }), c.strReason);
    }
}

}  // namespace
