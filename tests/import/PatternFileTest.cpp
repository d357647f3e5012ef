#include "PatternFile.h"

#include <gtest/gtest.h>

namespace {

// The pattern file with one setting or column replaced (a null value leaves it out).
QByteArray File(const QString& settings = QString(), const QString& columns = QString())
{
    QString base = QStringLiteral(R"({"name": "販売管理の売上明細", "mode": "sales", %1
  "columns": {"日付": "伝票日付", "種別": {"value": "商品"}, "製品名": "商品名", "型式": "#7",
              "数量": "数量", "単価": "単価", "金額": "金額", "取引先": "得意先名" %2}})");
    return base.arg(settings.isEmpty() ? QString() : settings + u',', columns.isEmpty() ? QString() : u',' + columns)
        .toUtf8();
}

TEST(PatternFile, TheIssuesExampleReadsAsWrittenAndRoundTrips)
{
    const std::variant<ImportPattern, QString> read = ReadPatternFile(File());
    ASSERT_TRUE(std::holds_alternative<ImportPattern>(read)) << std::get<QString>(read).toStdString();
    const ImportPattern& pattern = std::get<ImportPattern>(read);
    EXPECT_EQ(pattern.strName, QStringLiteral("販売管理の売上明細"));
    EXPECT_FALSE(pattern.blnPurchase);
    EXPECT_EQ(pattern.intHeaderRow, 1);
    EXPECT_EQ(pattern.encoding, PatternEncoding::Auto);
    EXPECT_TRUE(pattern.strDateFormat.isEmpty());
    EXPECT_EQ(pattern.SourceOf(PatternField::Model), (PatternSource{PatternSource::Kind::Number, QString(), 7}));
    EXPECT_EQ(pattern.SourceOf(PatternField::Kind),
              (PatternSource{PatternSource::Kind::Value, QStringLiteral("商品"), 0}));
    EXPECT_EQ(pattern.SourceOf(PatternField::Maker).kind, PatternSource::Kind::Nothing);
    EXPECT_EQ(PatternHeaderTexts(pattern),
              (QStringList{QStringLiteral("伝票日付"), QStringLiteral("商品名"), QStringLiteral("数量"),
                           QStringLiteral("単価"), QStringLiteral("得意先名"), QStringLiteral("金額")}));

    ImportPattern other = pattern;
    other.blnPurchase = true;
    other.encoding = PatternEncoding::Cp932;
    other.intHeaderRow = 3;
    other.strDateFormat = QStringLiteral("yyyyMMdd");
    other.strSheet = QStringLiteral("売上");
    other.SourceOf(PatternField::Spec) = {PatternSource::Kind::Header, QStringLiteral("規格 \"A\"\\n"), 0};
    for (const ImportPattern& written : {pattern, other}) {
        const std::variant<ImportPattern, QString> back = ReadPatternFile(WritePatternFile(written));
        ASSERT_TRUE(std::holds_alternative<ImportPattern>(back)) << std::get<QString>(back).toStdString();
        EXPECT_EQ(std::get<ImportPattern>(back), written);
    }
}

TEST(PatternFile, APatternThatCannotBeRightIsRefusedWithItsReason)
{
    const struct {
        const char* what;
        QByteArray file;
        QString reason;
    } cases[] = {
        {"not JSON", QByteArray("{\"name\": "), QStringLiteral("取込パターンのファイルが JSON として読めません")},
        {"not an object", QByteArray("[]"),
         QStringLiteral("取込パターンのファイルは { } で囲んだ JSON のオブジェクトにしてください。")},
        {"a setting named twice", File(QStringLiteral(R"("name": "二つ目")")),
         QStringLiteral("「name」が二度書かれています。")},
        {"a field named twice", File(QString(), QStringLiteral(R"("日付": "売上日")")),
         QStringLiteral("「日付」が二度書かれています。")},
        {"an unknown field", File(QString(), QStringLiteral(R"("品番": "#2")")),
         QStringLiteral("「品番」という項目はありません。")},
        {"an unknown setting", File(QStringLiteral(R"("header": 2)")),
         QStringLiteral("「header」という設定はありません。")},
        {"a mode that is neither", QByteArray(File().replace("\"sales\"", "\"売上\"")),
         QStringLiteral("mode は \"sales\"（売上）か \"purchase\"（仕入）にしてください。")},
        {"a column number below 1", File(QString(), QStringLiteral(R"("仕様": "#0")")),
         QStringLiteral("「仕様」の列番号 #0 は 1 以上にしてください。")},
        {"a negative column number", File(QString(), QStringLiteral(R"("仕様": "#-2")")),
         QStringLiteral("「仕様」の列番号 #-2 は 1 以上にしてください。")},
        {"no date source", QByteArray(File().replace("\"日付\": \"伝票日付\",", "")),
         QStringLiteral("「日付」をどの列から読むかがありません。")},
        {"no party source", QByteArray(File().replace(", \"取引先\": \"得意先名\"", "")),
         QStringLiteral("「取引先」をどの列から読むかがありません。")},
        {"a source of another type", File(QString(), QStringLiteral(R"("仕様": 3)")),
         QStringLiteral("「仕様」は見出し")},
        {"an unknown encoding", File(QStringLiteral(R"("encoding": "euc-jp")")),
         QStringLiteral("encoding は \"auto\"、\"cp932\"、\"utf-8\" のどれかにしてください。")},
        {"a header row that is not whole", File(QStringLiteral(R"("headerRow": 1.5)")),
         QStringLiteral("headerRow は見出しの行の番号（見出しがなければ 0）にしてください。")},
        {"a header row below 0", File(QStringLiteral(R"("headerRow": -1)")), QStringLiteral("headerRow は")},
        {"header texts in a headerless file", File(QStringLiteral(R"("headerRow": 0)")),
         QStringLiteral("見出しのないファイルの列は「#3」のように番号で指定してください。")},
        {"a date form without a date", File(QStringLiteral(R"("dateFormat": "hh:mm")")),
         QStringLiteral("日付の形式「hh:mm」では日付を読めません")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::variant<ImportPattern, QString> read = ReadPatternFile(c.file);
        ASSERT_TRUE(std::holds_alternative<QString>(read));
        EXPECT_TRUE(std::get<QString>(read).startsWith(c.reason)) << std::get<QString>(read).toStdString();
    }
    EXPECT_EQ(std::get<QString>(ReadPatternFile(QByteArray(File().replace("販売管理の売上明細", "売上\\n明細")))),
              QStringLiteral("取込パターンの名前に制御文字は使えません。"));
    // A blank name, by itself.
    EXPECT_EQ(std::get<QString>(ReadPatternFile(QByteArray(File().replace("販売管理の売上明細", "  ")))),
              QStringLiteral("取込パターンの名前がありません。"));
}

}  // namespace
