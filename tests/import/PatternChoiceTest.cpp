#include "ImportFixtures.h"
#include "ImportTexts.h"
#include "RecordingDesktop.h"
#include "RecordingStore.h"
#include "TestFiles.h"
#include "WorkbookFiles.h"
#include "clsImportSource.h"

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

const QString kConnection = QStringLiteral("Data/ledger.db");

// A purchase export with a title line above its header, dates as yyyyMMdd.
const QString kTitled =
    Lines({QStringLiteral("仕入明細 2024年1月"), QStringLiteral("仕入日,仕入先名,品名,型番,数量,単価"),
           QStringLiteral("20240110,南商会,ノート,00123,2,50"), QStringLiteral("20240111,,ペン,P-1,3,40")});

ImportPattern Pattern(const QString& name, int headerRow, const QStringList& headers)
{
    ImportPattern pattern;
    pattern.strName = name;
    pattern.blnPurchase = true;
    pattern.intHeaderRow = headerRow;
    pattern.strDateFormat = QStringLiteral("yyyyMMdd");
    const PatternField fields[] = {PatternField::Date,  PatternField::PartyName, PatternField::ProductName,
                                   PatternField::Model, PatternField::Quantity,  PatternField::UnitPrice,
                                   PatternField::Amount};
    for (qsizetype i = 0; i < headers.size(); ++i)
        pattern.SourceOf(fields[i]) = {PatternSource::Kind::Header, headers[i], 0};
    return pattern;
}

const QStringList kAllSix = {QStringLiteral("仕入日"), QStringLiteral("仕入先名"), QStringLiteral("品名"),
                             QStringLiteral("型番"),   QStringLiteral("数量"),     QStringLiteral("単価")};

class PatternChoice : public ::testing::Test {
protected:
    bool Check(clsImportSource& engine, const QString& content)
    {
        path = dir.writeUtf8(QStringLiteral("export.csv"), content);
        return engine.IMPFileCheck(path);
    }
    clsImportSource Engine(std::vector<ImportPattern> shelf)
    {
        clsImportSource engine(desktop, RecordingStore::factory(log));
        engine.SetPatternShelf([shelf] { return shelf; });
        return engine;
    }

    ScratchDir dir;
    QString path;
    RecordingDesktop desktop;
    std::shared_ptr<StoreLog> log = std::make_shared<StoreLog>();
};

TEST_F(PatternChoice, AFileOfAnotherLayoutIsReadWithThePatternThatFitsItBest)
{
    // Fits, but names fewer columns; misses a header text; a headerless one never fits by itself.
    ImportPattern fewer = Pattern(QStringLiteral("少ない"), 2, kAllSix.mid(0, 5));
    ImportPattern missing = Pattern(QStringLiteral("欠け"), 2, QStringList(kAllSix) << QStringLiteral("金額"));
    ImportPattern headerless = Pattern(QStringLiteral("見出しなし"), 0, {});
    clsImportSource engine = Engine({fewer, missing, Pattern(QStringLiteral("仕入明細"), 2, kAllSix), headerless});
    ASSERT_FALSE(Check(engine, kTitled));
    ASSERT_TRUE(engine.Pattern());
    EXPECT_EQ(engine.Pattern()->strName, QStringLiteral("仕入明細"));
    EXPECT_TRUE(engine.IsPurchase());

    engine.ExecImport(path, kConnection);
    ASSERT_EQ(log->inserts.size(), 2u);
    EXPECT_EQ(log->inserts[0].product.strModel, QStringLiteral("00123"));
    EXPECT_EQ(log->inserts[1].supplier.strPartyName, QStringLiteral("南商会"));  // carried down
    EXPECT_EQ(log->inserts[1].trade.lngPurchaseAmount, 120);
    // Lines are numbered as the file numbers them, the title line counted.
    EXPECT_EQ(log->lineNumbers, (std::vector<int64_t>{3, 4}));
    ASSERT_TRUE(engine.Totals());
    EXPECT_EQ(engine.Totals()->lngImported, 2);
}

TEST_F(PatternChoice, TheTemplateWinsAndAnUnknownLayoutGetsTheFormatMessageWithAdvice)
{
    clsImportSource engine = Engine({Pattern(QStringLiteral("仕入明細"), 1, {QStringLiteral("日付")})});
    EXPECT_FALSE(Check(engine, Lines({kSalesHeader})));
    EXPECT_FALSE(engine.Pattern());
    // The box offers to make a pattern: a clerk who takes it is told nothing more.
    desktop.answer = IDYES;
    EXPECT_TRUE(Check(engine, Lines({QStringLiteral("伝票番号,金額"), QStringLiteral("1,100")})));
    EXPECT_TRUE(engine.PatternWanted());
    ASSERT_EQ(desktop.questions.size(), 1u);
    EXPECT_EQ(desktop.questions[0].strPrompt, QStringLiteral("選択されたファイルの書式が違います。"));
    EXPECT_EQ(desktop.questions[0].strInformative, import_texts::PatternAdviceText());
    EXPECT_EQ(desktop.questions[0].choices[0].leadsTo, ChoiceLeadsTo::MakingPattern);
    desktop.answer = IDNO;
    EXPECT_TRUE(Check(engine, Lines({QStringLiteral("伝票番号,金額"), QStringLiteral("1,100")})));
    EXPECT_FALSE(engine.PatternWanted());
}

TEST_F(PatternChoice, PatternsThatFitEquallyAreAskedAboutByName)
{
    clsImportSource engine =
        Engine({Pattern(QStringLiteral("A"), 2, kAllSix), Pattern(QStringLiteral("B"), 2, kAllSix)});
    desktop.threeWayAnswer = IDNO;  // the second name
    ASSERT_FALSE(Check(engine, kTitled));
    EXPECT_EQ(engine.Pattern()->strName, QStringLiteral("B"));
    ASSERT_EQ(desktop.questions.size(), 1u);
    EXPECT_EQ(desktop.questions[0].strPrompt, import_texts::PatternTieText({QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(desktop.questions[0].choices[0].leadsTo, ChoiceLeadsTo::OneOfNames);

    desktop.threeWayAnswer = IDCANCEL;  // none: no format message after it
    EXPECT_TRUE(Check(engine, kTitled));
    EXPECT_EQ(desktop.questions.size(), 2u);
}

TEST_F(PatternChoice, AChosenPatternReadsAFileWhateverItsHeaderOrSaysWhatItLacks)
{
    clsImportSource engine(desktop, RecordingStore::factory(log));
    ImportPattern chosen = Pattern(QStringLiteral("仕入明細"), 2, kAllSix);
    engine.ChoosePattern(chosen);
    EXPECT_FALSE(Check(engine, kTitled));
    chosen.intHeaderRow = 1;
    engine.ChoosePattern(chosen);
    EXPECT_TRUE(Check(engine, kTitled));
    EXPECT_EQ(desktop.prompts(),
              QStringList{import_texts::PatternMisfitText(QStringLiteral("仕入明細"), QStringLiteral("仕入日"), 1)});
}

}  // namespace

namespace {

// A workbook's sheet with title rows above its header, a date cell and a
// code as text, read through a pattern that names its sheet.
TEST_F(PatternChoice, ATitledWorkbookSheetIsReadThroughAPatternThatNamesIt)
{
    XlsxParts parts;
    parts.sharedStrings = "<si><t>売上明細</t></si><si><t>伝票日付</t></si><si><t>得意先名</t></si>"
                          "<si><t>商品名</t></si><si><t>品番</t></si><si><t>数量</t></si><si><t>単価</t></si>"
                          "<si><t>北山商店</t></si><si><t>ノート</t></si><si><t>00123</t></si>";
    parts.styles = "<cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>";
    const auto s = [](const char* cell, int index) {
        return QByteArray("<c r=\"") + cell + "\" t=\"s\"><v>" + QByteArray::number(index) + "</v></c>";
    };
    parts.sheets = {{QStringLiteral("表紙"), "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"},
                    {QStringLiteral("売上"), "<row r=\"1\">" + s("A1", 0) + "</row><row r=\"3\">" + s("A3", 1)
                                                 + s("B3", 2) + s("C3", 3) + s("D3", 4) + s("E3", 5) + s("F3", 6)
                                                 + "</row><row r=\"4\"><c r=\"A4\" s=\"1\"><v>45301</v></c>"
                                                 + s("B4", 7) + s("C4", 8) + s("D4", 9)
                                                 + "<c r=\"E4\"><v>3</v></c><c r=\"F4\"><v>120.0</v></c></row>"}};
    path = dir.path(QStringLiteral("売上.xlsx"));
    WriteZip(path, XlsxEntries(parts));

    ImportPattern pattern = Pattern(QStringLiteral("売上ブック"), 3, {});
    pattern.blnPurchase = false;
    pattern.strDateFormat.clear();
    pattern.strSheet = QStringLiteral("売上");
    using Kind = PatternSource::Kind;
    pattern.SourceOf(PatternField::Date) = {Kind::Header, QStringLiteral("伝票日付"), 0};
    pattern.SourceOf(PatternField::PartyName) = {Kind::Header, QStringLiteral("得意先名"), 0};
    pattern.SourceOf(PatternField::ProductName) = {Kind::Header, QStringLiteral("商品名"), 0};
    pattern.SourceOf(PatternField::Model) = {Kind::Header, QStringLiteral("品番"), 0};
    pattern.SourceOf(PatternField::Quantity) = {Kind::Header, QStringLiteral("数量"), 0};
    pattern.SourceOf(PatternField::UnitPrice) = {Kind::Header, QStringLiteral("単価"), 0};
    clsImportSource engine = Engine({pattern});
    ASSERT_FALSE(engine.IMPFileCheck(path)) << desktop.prompts().join(u'\n').toStdString();
    EXPECT_EQ(engine.Pattern()->strName, QStringLiteral("売上ブック"));
    engine.ExecImport(path, kConnection);
    ASSERT_EQ(log->inserts.size(), 1u);
    EXPECT_EQ(log->inserts[0].product.strModel, QStringLiteral("00123"));
    EXPECT_EQ(log->inserts[0].customer.strPartyName, QStringLiteral("北山商店"));
    EXPECT_DOUBLE_EQ(log->inserts[0].trade.dtmTradeDate, 45301.0);
    EXPECT_EQ(log->inserts[0].trade.lngSalesAmount, 360);
    EXPECT_EQ(log->lineNumbers, std::vector<int64_t>{4});
}

}  // namespace
