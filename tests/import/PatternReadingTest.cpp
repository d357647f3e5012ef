#include "ColumnMap.h"
#include "LineReader.h"

#include <gtest/gtest.h>

namespace {

// A sales system's export: its own names, in its own order, with an amount.
const QStringList kHeader = {QStringLiteral("伝票日付"),
                             QStringLiteral("得意先名"),
                             QStringLiteral("商品名"),
                             QStringLiteral("数量"),
                             QStringLiteral("単価"),
                             QStringLiteral("金額"),
                             QString(),
                             QStringLiteral("備考")};

ImportPattern SalesPattern()
{
    ImportPattern pattern;
    pattern.strName = QStringLiteral("売上明細");
    using Kind = PatternSource::Kind;
    pattern.SourceOf(PatternField::Date) = {Kind::Header, QStringLiteral("伝票日付"), 0};
    pattern.SourceOf(PatternField::Kind) = {Kind::Value, QStringLiteral("商品"), 0};
    pattern.SourceOf(PatternField::ProductName) = {Kind::Header, QStringLiteral(" 商品名 "), 0};
    pattern.SourceOf(PatternField::Model) = {Kind::Number, QString(), 7};
    pattern.SourceOf(PatternField::Quantity) = {Kind::Header, QStringLiteral("数量"), 0};
    pattern.SourceOf(PatternField::UnitPrice) = {Kind::Header, QStringLiteral("単価"), 0};
    pattern.SourceOf(PatternField::Amount) = {Kind::Header, QStringLiteral("金額"), 0};
    pattern.SourceOf(PatternField::PartyName) = {Kind::Header, QStringLiteral("得意先名"), 0};
    return pattern;
}

QStringList Reasons(const ReadLine& line)
{
    QStringList reasons;
    for (const LineReason& reason : line.reasons)
        reasons << reason.strColumn + u'|' + reason.strText;
    return reasons;
}

TEST(PatternReading, FieldsComeFromTheFilesOwnColumnsByNameNumberOrValue)
{
    const std::optional<ColumnMap> map = ColumnMap::FromPattern(SalesPattern(), kHeader);
    ASSERT_TRUE(map);
    LineReader reader(false, *map);
    const ReadLine line = reader.Read(QStringLiteral("2024/1/10,北山商店,ノート,3,120,360,00123,急ぎ"), 5);
    EXPECT_FALSE(line.IsRefused()) << Reasons(line).join(u'\n').toStdString();
    EXPECT_EQ(line.lngLineNumber, 5);
    EXPECT_EQ(line.strKind, QStringLiteral("商品"));
    EXPECT_EQ(line.product.strProductName, QStringLiteral("ノート"));
    EXPECT_EQ(line.product.strModel, QStringLiteral("00123"));
    EXPECT_EQ(line.party.strPartyName, QStringLiteral("北山商店"));
    EXPECT_EQ(line.trade.lngSalesAmount, 360);
    EXPECT_EQ(line.trade.intTradeKind, 1);
}

TEST(PatternReading, RefusalsNameTheFilesColumnAndTheAmountIsChecked)
{
    const struct {
        const char* what;
        QString dateFormat;
        QString record;
        QStringList reasons;
    } cases[] = {
        {"amount agrees", {}, QStringLiteral("2024/1/10,北山,ノート,3,120,360"), {}},
        {"amount left empty", {}, QStringLiteral("2024/1/10,北山,ノート,3,120,"), {}},
        {"amount disagrees",
         {},
         QStringLiteral("2024/1/10,北山,ノート,3,120,350"),
         {QStringLiteral("金額|金額が数量 × 単価と合いません（金額 350、数量 × 単価 360）。")}},
        {"a bad price is told once, not as an amount too",
         {},
         QStringLiteral("2024/1/10,北山,ノート,3,x,350"),
         {QStringLiteral("単価|型が一致しません。")}},
        {"date in its form", QStringLiteral("yyyyMMdd"), QStringLiteral("20240110,北山,ノート,3,120,360"), {}},
        {"date not in its form",
         QStringLiteral("yyyyMMdd"),
         QStringLiteral("2024/1/10,北山,ノート,3,120,360"),
         {QStringLiteral("伝票日付|型が一致しません。")}},
        {"no such day",
         QStringLiteral("yyyyMMdd"),
         QStringLiteral("20240230,北山,ノート,3,120,360"),
         {QStringLiteral("伝票日付|型が一致しません。")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ImportPattern pattern = SalesPattern();
        pattern.strDateFormat = c.dateFormat;
        LineReader reader(false, *ColumnMap::FromPattern(pattern, kHeader));
        const ReadLine line = reader.Read(c.record, 2);
        EXPECT_EQ(Reasons(line), c.reasons);
        if (c.reasons.isEmpty()) {
            EXPECT_DOUBLE_EQ(line.trade.dtmTradeDate, 45301.0);  // 2024-01-10
        }
    }
}

TEST(PatternReading, AMissingHeaderTextFitsNoneAndNumberedColumnsNeedNoHeader)
{
    QString missing;
    QStringList header = kHeader;
    header.removeAt(2);
    EXPECT_FALSE(ColumnMap::FromPattern(SalesPattern(), header, &missing));
    EXPECT_EQ(missing, QStringLiteral(" 商品名 "));

    ImportPattern headerless;
    using Kind = PatternSource::Kind;
    headerless.intHeaderRow = 0;
    headerless.SourceOf(PatternField::Date) = {Kind::Number, QString(), 1};
    headerless.SourceOf(PatternField::ProductName) = {Kind::Number, QString(), 2};
    headerless.SourceOf(PatternField::PartyName) = {Kind::Number, QString(), 3};
    headerless.SourceOf(PatternField::Quantity) = {Kind::Number, QString(), 4};
    headerless.SourceOf(PatternField::UnitPrice) = {Kind::Number, QString(), 5};
    const std::optional<ColumnMap> map = ColumnMap::FromPattern(headerless, QStringList());
    ASSERT_TRUE(map);
    LineReader reader(true, *map);
    const ReadLine line = reader.Read(QStringLiteral("2024/1/10,ノート,南商会,2,x"), 1);
    EXPECT_EQ(Reasons(line), QStringList{QStringLiteral("5 列目|型が一致しません。")});
    EXPECT_EQ(reader.Read(QStringLiteral("2024/1/10,ノート,南商会,2,50"), 2).trade.lngPurchaseAmount, 100);
}

// A cell the source could not give refuses its line in the field it fills;
// a column the pattern does not use may hold anything.
TEST(PatternReading, SourceFaultsRefuseOnlyTheFieldsTheyFill)
{
    LineReader reader(false, *ColumnMap::FromPattern(SalesPattern(), kHeader));
    SourceRecord record{7,
                        QStringLiteral("row"),
                        {QStringLiteral("2024/1/10"), QStringLiteral("北山"), QString(), QStringLiteral("3"),
                         QStringLiteral("120"), QString(), QString(), QStringLiteral("\x01")},
                        {{3, QStringLiteral("セル C7 はエラー（#N/A）です。")}, {8, QStringLiteral("ignored")}},
                        false};
    EXPECT_EQ(Reasons(reader.Read(record)), QStringList{QStringLiteral("商品名|セル C7 はエラー（#N/A）です。")});
}

}  // namespace
