#include "PatternFile.h"
#include "RecordingDesktop.h"
#include "RuntimeError.h"
#include "TestFiles.h"
#include "frmPattern.h"

#include <QComboBox>
#include <QSpinBox>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <map>

namespace {

// Patterns kept in memory, as the ledger would keep them.
class MemoryPatterns : public clsLedgerPatterns {
public:
    explicit MemoryPatterns(std::shared_ptr<std::map<QString, ImportPattern>> kept) : m_kept(std::move(kept)) { }

    std::vector<ImportPattern> Patterns() override
    {
        std::vector<ImportPattern> patterns;
        for (const auto& [name, pattern] : *m_kept)
            patterns.push_back(pattern);
        return patterns;
    }
    void SavePattern(const ImportPattern& pattern) override { (*m_kept)[pattern.strName] = pattern; }
    bool DeletePattern(const QString& strName) override { return m_kept->erase(strName) > 0; }
    bool RenamePattern(const QString& strFrom, const QString& strTo) override
    {
        const auto found = m_kept->find(strFrom);
        if (found == m_kept->end())
            return false;
        if (m_kept->count(strTo))
            throw RuntimeError(ERR_AUTOMATION, QStringLiteral("取込パターン「%1」はもうあります。").arg(strTo));
        ImportPattern pattern = found->second;
        pattern.strName = strTo;
        m_kept->erase(found);
        (*m_kept)[strTo] = pattern;
        return true;
    }

private:
    std::shared_ptr<std::map<QString, ImportPattern>> m_kept;
};

// A supplier's export: two title lines above its header, dates as yyyyMMdd.
const QString kTitled =
    QStringLiteral("納品明細書\r\n東和商事 2024年1月分\r\n納品日,メーカー名,品名,型番,数量,仕入単価\r\n"
                   "20240105,北星,コピー用紙,A4-500,20,450\r\n20240112,北星,トナー,T-9,二,8000\r\n");

class PatternWindow : public ::testing::Test {
protected:
    LedgerPatternsFactory Factory()
    {
        return [kept = kept](const QString&, bool) { return std::make_unique<MemoryPatterns>(kept); };
    }
    QString Field(frmPattern& dialog, int column)
    {
        return dialog.findChild<QComboBox*>(QStringLiteral("cboField%1").arg(column))->currentText();
    }

    ScratchDir dir;
    RecordingDesktop desktop;
    std::shared_ptr<std::map<QString, ImportPattern>> kept = std::make_shared<std::map<QString, ImportPattern>>();
};

TEST_F(PatternWindow, TheHeaderLineSuggestsTheFieldsAndThePreviewReadsAsTheImportWould)
{
    frmPattern dialog(desktop, Factory(), QString(), dir.writeUtf8(QStringLiteral("titled.csv"), kTitled));
    dialog.findChild<QComboBox*>(QStringLiteral("cboMode"))->setCurrentIndex(1);
    dialog.findChild<QSpinBox*>(QStringLiteral("spnHeaderRow"))->setValue(3);
    dialog.findChild<QComboBox*>(QStringLiteral("cboDateForm"))->setCurrentText(QStringLiteral("yyyyMMdd"));
    const QStringList suggested = {Field(dialog, 1), Field(dialog, 2), Field(dialog, 3),
                                   Field(dialog, 4), Field(dialog, 5), Field(dialog, 6)};
    EXPECT_EQ(suggested, (QStringList{QStringLiteral("日付"), QStringLiteral("メーカー"), QStringLiteral("製品名"),
                                      QStringLiteral("型式"), QStringLiteral("数量"), QStringLiteral("単価")}));
    // No party column: the supplier is one for the whole file.
    auto* fixed = dialog.findChild<QTableWidget*>(QStringLiteral("grdFixed"));
    fixed->setItem(int(PatternField::PartyName), 0, new QTableWidgetItem(QStringLiteral("東和商事")));
    EXPECT_EQ(dialog.PreviewRows(), (QStringList{QStringLiteral("4|2024/01/05|コピー用紙|A4-500|20|450|9000|東和商事"),
                                                 QStringLiteral("5|取り込めません: 数量: 型が一致しません。")}));

    ImportPattern expected;
    expected.strName = QStringLiteral("titled");
    expected.blnPurchase = true;
    expected.intHeaderRow = 3;
    expected.strDateFormat = QStringLiteral("yyyyMMdd");
    using Kind = PatternSource::Kind;
    expected.SourceOf(PatternField::Date) = {Kind::Header, QStringLiteral("納品日"), 0};
    expected.SourceOf(PatternField::Maker) = {Kind::Header, QStringLiteral("メーカー名"), 0};
    expected.SourceOf(PatternField::ProductName) = {Kind::Header, QStringLiteral("品名"), 0};
    expected.SourceOf(PatternField::Model) = {Kind::Header, QStringLiteral("型番"), 0};
    expected.SourceOf(PatternField::Quantity) = {Kind::Header, QStringLiteral("数量"), 0};
    expected.SourceOf(PatternField::UnitPrice) = {Kind::Header, QStringLiteral("仕入単価"), 0};
    expected.SourceOf(PatternField::PartyName) = {Kind::Value, QStringLiteral("東和商事"), 0};
    EXPECT_EQ(dialog.Pattern(), expected);
    ASSERT_TRUE(dialog.Save());
    EXPECT_EQ(kept->at(QStringLiteral("titled")), expected);
}

TEST_F(PatternWindow, APatternWithoutDateProductOrPartyIsNotSavedAndHeaderlessColumnsGoByNumber)
{
    frmPattern dialog(desktop, Factory(), QString(),
                      dir.writeUtf8(QStringLiteral("bank.csv"), QStringLiteral("2024-01-15,北山商店,5000\n")));
    dialog.findChild<QSpinBox*>(QStringLiteral("spnHeaderRow"))->setValue(0);
    EXPECT_FALSE(dialog.Save());
    EXPECT_EQ(desktop.prompts(), QStringList{QStringLiteral("「日付」をどの列から読むかがありません。")});
    EXPECT_TRUE(kept->empty());
    dialog.findChild<QComboBox*>(QStringLiteral("cboField1"))->setCurrentIndex(int(PatternField::Date) + 1);
    dialog.findChild<QComboBox*>(QStringLiteral("cboField2"))->setCurrentIndex(int(PatternField::PartyName) + 1);
    // A field chosen for a second column leaves the first.
    dialog.findChild<QComboBox*>(QStringLiteral("cboField3"))->setCurrentIndex(int(PatternField::PartyName) + 1);
    EXPECT_EQ(Field(dialog, 2), QStringLiteral("（使わない）"));
    EXPECT_EQ(dialog.Pattern().SourceOf(PatternField::PartyName), (PatternSource{PatternSource::Kind::Number, {}, 3}));
    EXPECT_EQ(dialog.Pattern().SourceOf(PatternField::Date), (PatternSource{PatternSource::Kind::Number, {}, 1}));
}

TEST_F(PatternWindow, TheManagerRenamesDeletesAndReadsPatternFiles)
{
    ImportPattern pattern;
    pattern.strName = QStringLiteral("売上明細");
    pattern.SourceOf(PatternField::Date) = {PatternSource::Kind::Header, QStringLiteral("伝票日付"), 0};
    pattern.SourceOf(PatternField::ProductName) = {PatternSource::Kind::Header, QStringLiteral("商品名"), 0};
    pattern.SourceOf(PatternField::PartyName) = {PatternSource::Kind::Header, QStringLiteral("得意先名"), 0};
    (*kept)[pattern.strName] = pattern;
    frmPatternManager manager(desktop, Factory(), QString());
    ASSERT_TRUE(manager.Reload());
    EXPECT_TRUE(manager.Rename(QStringLiteral("売上明細"), QStringLiteral("販売管理")));
    EXPECT_EQ(manager.Names(), QStringList{QStringLiteral("販売管理")});

    const QString exported = dir.path(QStringLiteral("exported.json"));
    EXPECT_TRUE(manager.Export(QStringLiteral("販売管理"), exported));
    EXPECT_TRUE(manager.Delete(QStringLiteral("販売管理")));
    EXPECT_TRUE(manager.Names().isEmpty());
    EXPECT_TRUE(manager.Import(exported));
    EXPECT_EQ(manager.Names(), QStringList{QStringLiteral("販売管理")});

    EXPECT_FALSE(manager.Import(dir.writeUtf8(QStringLiteral("broken.json"), QStringLiteral("{\"name\": 3"))));
    EXPECT_TRUE(desktop.prompts().value(0).startsWith(QStringLiteral("この取込パターンは読み込めません: ")));
}

}  // namespace
