#include "ImportFixtures.h"
#include "LedgerUnderTest.h"
#include "PatternFile.h"
#include "RecordingDesktop.h"
#include "RuntimeError.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

ImportPattern Pattern(const QString& name, const QString& dateHeader = QStringLiteral("伝票日付"))
{
    ImportPattern pattern;
    pattern.strName = name;
    using Kind = PatternSource::Kind;
    pattern.SourceOf(PatternField::Date) = {Kind::Header, dateHeader, 0};
    pattern.SourceOf(PatternField::ProductName) = {Kind::Header, QStringLiteral("商品名"), 0};
    pattern.SourceOf(PatternField::Quantity) = {Kind::Header, QStringLiteral("数量"), 0};
    pattern.SourceOf(PatternField::UnitPrice) = {Kind::Header, QStringLiteral("単価"), 0};
    pattern.SourceOf(PatternField::PartyName) = {Kind::Header, QStringLiteral("得意先名"), 0};
    return pattern;
}

QStringList Names(const std::vector<ImportPattern>& patterns)
{
    QStringList names;
    for (const ImportPattern& pattern : patterns)
        names << pattern.strName;
    return names;
}

template <typename Ledger>
class LedgerPatterns : public ::testing::Test {
protected:
    Ledger ledger;
    ScratchDir dir;
};
TYPED_TEST_SUITE(LedgerPatterns, LedgerKinds, LedgerKindName);

TYPED_TEST(LedgerPatterns, PatternsAreKeptByNameReplacedRenamedAndDeleted)
{
    std::unique_ptr<clsLedgerPatterns> patterns = this->ledger.patterns();
    EXPECT_TRUE(patterns->Patterns().empty());
    patterns->SavePattern(Pattern(QStringLiteral("売上明細")));
    patterns->SavePattern(Pattern(QStringLiteral("仕入明細")));
    // The same name replaces, whatever it held.
    patterns->SavePattern(Pattern(QStringLiteral("売上明細"), QStringLiteral("売上日")));
    const std::vector<ImportPattern> kept = this->ledger.patterns(false)->Patterns();
    EXPECT_EQ(Names(kept), (QStringList{QStringLiteral("仕入明細"), QStringLiteral("売上明細")}));
    EXPECT_EQ(kept[1], Pattern(QStringLiteral("売上明細"), QStringLiteral("売上日")));

    EXPECT_TRUE(patterns->RenamePattern(QStringLiteral("仕入明細"), QStringLiteral("得意先明細")));
    EXPECT_FALSE(patterns->RenamePattern(QStringLiteral("ない"), QStringLiteral("何か")));
    EXPECT_THROW(patterns->RenamePattern(QStringLiteral("得意先明細"), QStringLiteral("売上明細")), RuntimeError);
    EXPECT_TRUE(patterns->DeletePattern(QStringLiteral("売上明細")));
    EXPECT_FALSE(patterns->DeletePattern(QStringLiteral("売上明細")));
    EXPECT_EQ(Names(patterns->Patterns()), QStringList{QStringLiteral("得意先明細")});
    // One that cannot be right is not stored.
    ImportPattern broken = Pattern(QStringLiteral("壊れた"));
    broken.SourceOf(PatternField::Date) = PatternSource();
    EXPECT_THROW(patterns->SavePattern(broken), RuntimeError);
    EXPECT_EQ(patterns->Patterns().size(), 1u);
}

// Reading the patterns only looks: a ledger not made yet stays unmade.
TYPED_TEST(LedgerPatterns, ReadingThePatternsOfNoLedgerMakesNone)
{
    EXPECT_THROW(this->ledger.patterns(false)->Patterns(), RuntimeError);
    if constexpr (TypeParam::kIsSqlite) {
        EXPECT_FALSE(QFileInfo::exists(this->ledger.path()));
    }
    // Made by a write, as an import makes it.
    this->ledger.patterns(true)->SavePattern(Pattern(QStringLiteral("売上明細")));
    EXPECT_EQ(this->ledger.patterns(false)->Patterns().size(), 1u);
}

TYPED_TEST(LedgerPatterns, ARunRecordsItsPatternAndAnUndoLeavesThePatterns)
{
    this->ledger.patterns()->SavePattern(Pattern(QStringLiteral("売上明細")));
    const QString file =
        this->dir.writeUtf8(QStringLiteral("export.csv"), Lines({QStringLiteral("伝票日付,得意先名,商品名,数量,単価"),
                                                                 QStringLiteral("2024/1/10,北山商店,ノート,3,120")}));
    RecordingDesktop desktop;
    clsImportSource engine(desktop, [this] { return this->ledger.programStore(); });
    const QString connection = this->ledger.connection();
    engine.SetPatternShelf([this] { return this->ledger.patterns(false)->Patterns(); });
    ASSERT_FALSE(engine.IMPFileCheck(file));
    engine.ExecImport(file, connection);
    ASSERT_TRUE(engine.Totals());
    EXPECT_EQ(engine.Totals()->lngImported, 1);
    EXPECT_EQ(this->ledger.value(QStringLiteral("SELECT pattern_name FROM runs")), QStringLiteral("売上明細"));
    this->ledger.history()->UndoRun(this->ledger.number(QStringLiteral("SELECT max(run_id) FROM runs")), {});
    EXPECT_EQ(this->ledger.number(QStringLiteral("SELECT count(*) FROM trades")), 0);
    EXPECT_EQ(Names(this->ledger.patterns(false)->Patterns()), QStringList{QStringLiteral("売上明細")});
}

}  // namespace
