#include "LineReader.h"
#include "ImportColumns.h"
#include "ImportRun.h"
#include "ImportTexts.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

const QStringList kSalesNames = LineReader::HeaderNames(
    QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,販売単価,ふりがな,販売先"));

// A sales record with the given party and quantity, the rest fixed.
QString Record(const QString& quantity, const QString& party = QStringLiteral("北山商店"),
               const QString& reading = QStringLiteral("きたやま"))
{
    return QStringLiteral("2024/4/1,文具,北星,のーと,ノート,N-4,A4,%1,1200,%2,%3").arg(quantity, reading, party);
}

// The reasons of a line as "column|text" each.
QStringList Reasons(const ReadLine& line)
{
    QStringList reasons;
    for (const LineReason& reason : line.reasons)
        reasons << reason.strColumn + u'|' + reason.strText;
    return reasons;
}

TEST(LineReader, QuantitiesAndPricesReadAsClerksTypeThem)
{
    const struct {
        const char* what;
        QString quantity;
        std::optional<int32_t> read;
    } cases[] = {
        {"plain", QStringLiteral("12"), 12},
        {"full-width digits", QStringLiteral("１２"), 12},
        {"rounded half to even", QStringLiteral("2.5"), 2},
        {"kanji", QStringLiteral("五"), std::nullopt},
        {"empty", QString(), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LineReader reader(false, kSalesNames);
        const ReadLine line = reader.Read(Record(c.quantity), 2);
        EXPECT_EQ(line.IsRefused(), !c.read);
        if (c.read) {
            EXPECT_EQ(line.trade.lngSalesQuantity, *c.read);
            EXPECT_EQ(line.trade.lngSalesAmount, *c.read * 1200);
            EXPECT_EQ(line.trade.lngPurchaseQuantity, 0);
        } else {
            EXPECT_EQ(Reasons(line).value(0).section(u'|', 0, 0), QStringLiteral("数量"));
        }
    }
}

// The party a blank name carries down, and the one that cannot be carried.
TEST(LineReader, ABlankPartyCarriesTheOneAboveDownUnlessItWasUnreadable)
{
    const struct {
        const char* what;
        QStringList records;
        QStringList parties;  // of each line, as read
        QList<bool> refused;
    } cases[] = {
        {"carried with its reading",
         {Record("1"), Record("2", QString(), QString())},
         {"北山商店/きたやま", "北山商店/きたやま"},
         {false, false}},
        {"a new name takes its own reading, even none",
         {Record("1"), Record("2", QStringLiteral("南海"), QString())},
         {"北山商店/きたやま", "南海/"},
         {false, false}},
        {"an unreadable party carries nothing",
         {Record("1", QStringLiteral("北\x1b山")), Record("2", QString(), QString()),
          Record("3", QStringLiteral("南海"))},
         {"/", "/", "南海/きたやま"},
         {true, true, false}},
        {"a line that fails elsewhere still names its party",
         {Record("x", QStringLiteral("東西")), Record("2", QString(), QString())},
         {"東西/きたやま", "東西/きたやま"},
         {true, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LineReader reader(false, kSalesNames);
        for (qsizetype i = 0; i < c.records.size(); ++i) {
            const ReadLine line = reader.Read(c.records[i], 2 + i);
            EXPECT_EQ(line.party.strPartyName + u'/' + line.party.strReading, c.parties[i]) << i;
            EXPECT_EQ(line.IsRefused(), c.refused[i]) << i << ' ' << Reasons(line).join(u';').toStdString();
        }
    }
}

TEST(LineReader, ARecordOfOnlyCommasIsNoLineAndExtraValuesAreRefused)
{
    LineReader reader(true, kSalesNames);
    EXPECT_EQ(reader.Read(QStringLiteral(",,,,"), 2).outcome, ReadLine::Outcome::NoData);
    EXPECT_EQ(reader.Read(Record("1") + QStringLiteral(",,"), 3).outcome, ReadLine::Outcome::Distributed);
    EXPECT_EQ(
        Reasons(reader.Read(Record("1") + QStringLiteral(",x"), 4)),
        QStringList{QStringLiteral("|項目の数がヘッダーより多くなっています（ヘッダー 11 項目、この行 12 項目）。")});
}

TEST(ImportColumns, EachHeaderItemIsCheckedAndThePartysColumnSettlesTheMode)
{
    const struct {
        int16_t column;
        const char16_t* item;
        bool before;
        std::optional<bool> mode;
    } cases[] = {
        {1, u"日付", false, false},           {1, u"日時", false, std::nullopt}, {9, u"仕入単価", false, false},
        {9, u"販売単価", true, true},         {11, u"仕入先", false, true},      {11, u"販売先", true, true},
        {11, u"得意先", false, std::nullopt}, {12, u"備考", false, false},       {4, u"ふりがな", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        EXPECT_EQ(HeaderItemMode(c.column, QStringView(c.item), c.before), c.mode);
    }
    EXPECT_EQ(CodeOfColumn(2), QStringLiteral("CLS-is1001"));
    EXPECT_EQ(CodeOfColumn(11), QStringLiteral("CLS-is1004"));
}

TEST(ImportTexts, TheTotalsSayBeneathTheirSentenceWhatBecameOfTheLines)
{
    const struct {
        RunTotals totals;
        QString information;
    } cases[] = {
        {{3, 3, 0, 0, 0}, QStringLiteral("取り込んだ行: 3 件")},
        {{10, 0, 4, 6, 0},
         QStringLiteral(
             "台帳にある取引と同じため除いた行: 6 件\n取り込めなかった行: 4 件（取り込み履歴でこの取り込みを選び、"
             "「取り込めなかった行を保存」で保存できます）")},
        {{5, 5, 0, 0, 2},
         QStringLiteral("取り込んだ行: 5 件\n台帳にある取引と同じ 2 行も、選んだとおりもう一度取り込みました。")},
        {{0, 0, 0, 0, 0}, QString()},
    };
    for (const auto& c : cases) {
        RunResult result;
        result.totals = c.totals;
        EXPECT_EQ(import_texts::TotalsInformationText(result), c.information);
    }
    EXPECT_EQ(import_texts::TotalsText(3, 2), QStringLiteral("全レコード 3 件中 2 件インポートしました。"));
}

}  // namespace
