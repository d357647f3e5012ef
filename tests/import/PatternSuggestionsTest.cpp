#include "PatternSuggestions.h"
#include "ColumnMap.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using Fields = std::vector<std::optional<PatternField>>;
constexpr std::nullopt_t none = std::nullopt;
constexpr bool kSales = false;
constexpr bool kPurchase = true;

TEST(PatternSuggestions, AHeaderTextSuggestsItsFieldInItsMode)
{
    const struct {
        const char* header;
        bool purchase;
        std::optional<PatternField> field;
    } cases[] = {
        {"商品名", kSales, PatternField::ProductName},
        {"品名", kPurchase, PatternField::ProductName},
        {"製品名", kSales, PatternField::ProductName},
        {"得意先名", kSales, PatternField::PartyName},
        {"顧客名", kSales, PatternField::PartyName},
        {"販売先", kSales, PatternField::PartyName},
        {"得意先名", kPurchase, none},
        {"仕入先名", kPurchase, PatternField::PartyName},
        {"仕入先", kPurchase, PatternField::PartyName},
        {"仕入先名", kSales, none},
        {"取引先", kSales, PatternField::PartyName},
        {"取引先名", kPurchase, PatternField::PartyName},
        {"品番", kSales, PatternField::Model},
        {"型番", kPurchase, PatternField::Model},
        {"型式", kSales, PatternField::Model},
        {"売上日", kSales, PatternField::Date},
        {"伝票日付", kPurchase, PatternField::Date},
        {"仕入日", kPurchase, PatternField::Date},
        {"日付", kSales, PatternField::Date},
        {"数量", kSales, PatternField::Quantity},
        {"単価", kSales, PatternField::UnitPrice},
        {"販売単価", kPurchase, PatternField::UnitPrice},
        {"仕入単価", kPurchase, PatternField::UnitPrice},
        {"金額", kSales, PatternField::Amount},
        {"売上金額", kSales, PatternField::Amount},
        {"仕入金額", kPurchase, PatternField::Amount},
        {"メーカー", kSales, PatternField::Maker},
        {"メーカー名", kSales, PatternField::Maker},
        {"仕様", kSales, PatternField::Spec},
        {"規格", kSales, PatternField::Spec},
        {"区分", kSales, PatternField::Kind},
        {"種別", kPurchase, PatternField::Kind},
        // Folded before they are compared: widths, spaces, case, brackets.
        {"ﾒｰｶｰ名", kSales, PatternField::Maker},
        {"品　番", kSales, PatternField::Model},
        {" 商品名 ", kSales, PatternField::ProductName},
        {"数 量", kSales, PatternField::Quantity},
        {"【金額】", kSales, PatternField::Amount},
        // A reading with its name is that name's reading.
        {"得意先名カナ", kSales, PatternField::PartyReading},
        {"得意先ﾌﾘｶﾞﾅ", kSales, PatternField::PartyReading},
        {"仕入先名（カナ）", kPurchase, PatternField::PartyReading},
        {"仕入先名カナ", kSales, none},
        {"商品名カナ", kSales, PatternField::ProductReading},
        {"品名よみ", kPurchase, PatternField::ProductReading},
        {"メーカーカナ", kSales, none},
        // A bare reading needs a neighbour to say whose.
        {"ふりがな", kSales, none},
        {"ﾌﾘｶﾞﾅ", kPurchase, none},
        {"備考", kSales, none},
        {"伝票番号", kSales, none},
        {"", kSales, none},
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(std::string(one.header) + (one.purchase ? " (purchase)" : " (sales)"));
        EXPECT_EQ(SuggestField(QString::fromUtf8(one.header), one.purchase), one.field);
    }
}

TEST(PatternSuggestions, AHeaderRowSuggestsEachFieldOnce)
{
    const auto split = [](const char* row) { return QString::fromUtf8(row).split(u','); };
    using F = PatternField;
    const struct {
        const char* what;
        const char* row;
        bool purchase;
        Fields fields;
    } cases[] = {
        {"the template's own header",
         "日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,仕入単価,ふりがな,仕入先",
         kPurchase,
         {F::Date, F::Kind, F::Maker, F::ProductReading, F::ProductName, F::Model, F::Spec, F::Quantity, F::UnitPrice,
          F::PartyReading, F::PartyName}},
        {"a sales system's export",
         "伝票番号,伝票日付,得意先コード,得意先名,得意先名カナ,商品コード,商品名,品番,数量,単価,金額,備考",
         kSales,
         {none, F::Date, none, F::PartyName, F::PartyReading, none, F::ProductName, F::Model, F::Quantity, F::UnitPrice,
          F::Amount, none}},
        {"a supplier's export in its mode",
         "仕入日,仕入先名,品名,型番,規格,数量,仕入単価,仕入金額",
         kPurchase,
         {F::Date, F::PartyName, F::ProductName, F::Model, F::Spec, F::Quantity, F::UnitPrice, F::Amount}},
        {"the other mode's party is no party", "仕入日,仕入先名,商品名", kSales, {F::Date, none, F::ProductName}},
        {"the plainest text wins", "伝票日付,日付,売上日", kSales, {none, F::Date, none}},
        {"the leftmost among equals", "数量,数量,個数", kSales, {F::Quantity, none, none}},
        {"a bare reading after its name", "得意先名,ﾌﾘｶﾞﾅ,備考", kSales, {F::PartyName, F::PartyReading, none}},
        {"a bare reading takes the name after it first",
         "商品名,カナ,取引先",
         kSales,
         {F::ProductName, F::PartyReading, F::PartyName}},
        {"a reading by its name before a bare one",
         "ふりがな,得意先名,得意先カナ",
         kSales,
         {none, F::PartyName, F::PartyReading}},
        {"a bare reading beside no name", "日付,フリガナ,数量", kSales, {F::Date, none, F::Quantity}},
        {"an empty row", "", kSales, {none}},
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(one.what);
        EXPECT_EQ(SuggestColumnFields(split(one.row), one.purchase), one.fields);
    }
}

TEST(PatternSuggestions, SourcesNameAColumnByItsTextUnlessAnotherHasIt)
{
    const QStringList header =
        QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量, 販売単価 ,ふりがな,販売先").split(u',');
    const std::array<PatternSource, kPatternFieldCount> sources = SuggestSources(header, kSales);
    const auto byHeader = [](const char* text) {
        return PatternSource{PatternSource::Kind::Header, QString::fromUtf8(text), 0};
    };
    const auto byNumber = [](int number) { return PatternSource{PatternSource::Kind::Number, QString(), number}; };
    const std::array<PatternSource, kPatternFieldCount> expected = {
        byHeader("日付"), byHeader("種別"), byHeader("メーカー"), byNumber(4),  byHeader("製品名"), byHeader("型式"),
        byHeader("仕様"), byHeader("数量"), byHeader("販売単価"), byNumber(10), byHeader("販売先"), PatternSource(),
    };
    for (const PatternField field : kPatternFields) {
        SCOPED_TRACE(PatternFieldName(field).toStdString());
        EXPECT_EQ(sources[std::size_t(field)], expected[std::size_t(field)]);
    }
    // Nothing suggested, nothing given.
    for (const PatternSource& source : SuggestSources(QStringList{QStringLiteral("備考"), QString()}, kPurchase))
        EXPECT_EQ(source, PatternSource());
}

TEST(PatternSuggestions, FoldingMakesWidthsSpacesAndCaseAlike)
{
    EXPECT_EQ(FoldedHeaderText(u"ＳＫＵ　ｺｰﾄﾞ (税抜)"), QStringLiteral("skuコード税抜"));
    EXPECT_EQ(FoldedHeaderText(u"\t品 名\u3000"), QStringLiteral("品名"));
    EXPECT_EQ(FoldedHeaderText(u""), QString());
}

}  // namespace
