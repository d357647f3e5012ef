#include "Desktop.h"
#include "ImportFixtures.h"
#include "RecordingDesktop.h"
#include "RecordingStore.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

const QString kFormatMessage = QStringLiteral("選択されたファイルの書式が違います。");
const QString kCannotOpen = QStringLiteral("選択されたファイルを開けません。");

class HeaderCheck : public ::testing::Test {
protected:
    // Checks a file holding `bytes`; returns the result and leaves the mode in `purchase`.
    bool Check(const QByteArray& bytes) { return CheckPath(dir.write(QStringLiteral("check.csv"), bytes)); }
    bool CheckHeader(const QString& header) { return Check(ToCp932(header + QStringLiteral("\r\n"))); }
    bool CheckPath(const QString& path)
    {
        clsImportSource engine(desktop, RecordingStore::factory(storeLog));
        const bool failed = engine.IMPFileCheck(path);
        purchase = engine.IsPurchase();
        return failed;
    }

    ScratchDir dir;
    RecordingDesktop desktop;
    std::shared_ptr<StoreLog> storeLog = std::make_shared<StoreLog>();
    bool purchase = false;
};

TEST_F(HeaderCheck, ColumnElevenSettlesTheMode)
{
    EXPECT_FALSE(CheckHeader(kPurchaseHeader));
    EXPECT_TRUE(purchase);
    EXPECT_FALSE(CheckHeader(kSalesHeader));
    EXPECT_FALSE(purchase);
    // The unit price name takes no part in the mode.
    EXPECT_FALSE(CheckHeader(QString(kPurchaseHeader).replace(QStringLiteral("仕入先"), QStringLiteral("販売先"))));
    EXPECT_FALSE(purchase);
    EXPECT_FALSE(CheckHeader(QString(kSalesHeader).replace(QStringLiteral("販売先"), QStringLiteral("仕入先"))));
    EXPECT_TRUE(purchase);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(storeLog->storesMade, 0);
}

TEST_F(HeaderCheck, PassesLongQuotedAndAnyEncodedHeaders)
{
    EXPECT_FALSE(CheckHeader(kPurchaseHeader + QStringLiteral(",備考,,x")));
    EXPECT_TRUE(purchase);
    EXPECT_FALSE(CheckHeader(kSalesHeader + QStringLiteral(",")));
    QStringList quoted;
    for (const QString& name : kPurchaseHeader.split(u','))
        quoted << u'"' + name + u'"';
    EXPECT_FALSE(CheckHeader(quoted.join(u',')));
    EXPECT_TRUE(purchase);
    EXPECT_FALSE(Check(kPurchaseHeader.toUtf8()));
    EXPECT_FALSE(Check("\xEF\xBB\xBF" + kSalesHeader.toUtf8() + "\n2024/1/5"));
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(HeaderCheck, AWrongNameFailsWithTheFormatMessage)
{
    const QStringList wrong = {
        // Cut short: without column 11 the mode would be left to chance.
        QStringLiteral("日付,種別,メーカー"),
        kPurchaseHeader.section(u',', 0, 9),
        QString(kSalesHeader).replace(QStringLiteral("日付"), QStringLiteral("日付 ")),
        QString(kSalesHeader).replace(QStringLiteral("種別"), QStringLiteral(" 種別")),
        QString(kSalesHeader).replace(QStringLiteral("ふりがな"), QStringLiteral("フリガナ")),
        QString(kSalesHeader).replace(QStringLiteral("販売単価"), QStringLiteral("単価")),
        QString(kSalesHeader).replace(QStringLiteral("販売先"), QStringLiteral("得意先")),
        kSalesHeader.left(kSalesHeader.size() - 1),
        QString(),
    };
    for (const QString& header : wrong) {
        desktop.messages.clear();
        EXPECT_TRUE(CheckHeader(header)) << header.toStdString();
        ASSERT_EQ(desktop.messages.size(), 1u) << header.toStdString();
        EXPECT_EQ(desktop.messages[0].prompt, kFormatMessage);
        EXPECT_EQ(desktop.messages[0].title, QStringLiteral("ファイルエラー"));
        EXPECT_EQ(desktop.messages[0].flags, MB_ICONINFORMATION);
    }
}

TEST_F(HeaderCheck, AMismatchEndsTheCheckBeforeColumnElevenSetsTheMode)
{
    EXPECT_TRUE(CheckHeader(QString(kPurchaseHeader).replace(QStringLiteral("メーカー"), QStringLiteral("メーカ"))));
    EXPECT_FALSE(purchase);
    // Nor does a broken field after the mismatch add a report.
    EXPECT_TRUE(CheckHeader(QStringLiteral("日付,x,\"unclosed")));
    EXPECT_EQ(desktop.prompts(), (QStringList{kFormatMessage, kFormatMessage}));
}

TEST_F(HeaderCheck, UnreadableHeadersGiveTheTrapReportThenTheFormatMessage)
{
    const QString pastEnd = Report("CLS-is1007", QStringLiteral("ファイルにこれ以上データがありません。"));
    const QString badCall = Report("CLS-is1007", QStringLiteral("プロシージャの呼び出し、または引数が不正です。"));
    const QString overflow = Report("CLS-is1007", QStringLiteral("オーバーフローしました。"));
    struct Case {
        QByteArray bytes;
        QString report;
    } cases[] = {
        {QByteArray(), pastEnd},
        {ToCp932(QStringLiteral("日付,\"")), badCall},
        {ToCp932(QStringLiteral("日付,\"種別,メーカー")), badCall},
        {ToCp932(kSalesHeader + QStringLiteral(",") + QString(32766 - kSalesHeader.size() - 1, u'x')), overflow},
        // A line this long fails even when its first name is already wrong.
        {QByteArray(40000, 'x'), overflow},
        {QByteArray(32765, 'x') + ",", overflow},
    };
    for (const Case& c : cases) {
        desktop.messages.clear();
        EXPECT_TRUE(Check(c.bytes));
        EXPECT_EQ(desktop.prompts(), (QStringList{c.report, kFormatMessage}));
        EXPECT_EQ(desktop.messages.front().flags, MB_OK);
        EXPECT_TRUE(desktop.messages.front().title.isEmpty());
    }
    EXPECT_TRUE(desktop.pointers.empty());  // the header's reports leave the pointer alone
}

TEST_F(HeaderCheck, AFileThatCannotBeOpenedGivesTwoMessages)
{
    for (const QString& path : {dir.path("missing.csv"), dir.root(), QString()}) {
        desktop.messages.clear();
        EXPECT_TRUE(CheckPath(path));
        ASSERT_EQ(desktop.messages.size(), 2u);
        EXPECT_TRUE(desktop.messages[0].prompt.startsWith(QStringLiteral("CLS-is1000\r\n")));
        EXPECT_EQ(desktop.messages[1].prompt, kCannotOpen);
        EXPECT_EQ(desktop.messages[1].title, QStringLiteral("ファイル選択エラー"));
        EXPECT_EQ(desktop.messages[1].flags, MB_ICONINFORMATION);
    }
    EXPECT_EQ(desktop.messages[0].prompt, Report("CLS-is1000", QStringLiteral("ファイル名または番号が不正です。")));
}

// A file in neither encoding is told so, not called wrongly headed.
TEST_F(HeaderCheck, AFileInNeitherEncodingIsToldSoInsteadOfTheFormatMessage)
{
    const QString neither =
        QStringLiteral("選択されたファイルは UTF-8 としてもシフトJIS（コードページ 932）としても読めません。");
    const QByteArray header = kSalesHeader.toUtf8() + "\r\n";
    const std::pair<QByteArray, QString> cases[] = {
        {QByteArray("\xFF\xFE\xE5\x65\xD8\x4E\r\0\n\0", 10), neither},  // UTF-16, as Excel saves Unicode text
        {header + "\x81\r\n", neither},                                 // UTF-8 but for one stray byte
        {ToCp932(QString(kSalesHeader).replace(QStringLiteral("数量"), QStringLiteral("個数"))), kFormatMessage},
    };
    for (const auto& [bytes, message] : cases) {
        desktop.messages.clear();
        EXPECT_TRUE(Check(bytes));
        EXPECT_EQ(desktop.prompts(), QStringList{message});
    }
    // A file that reads is told by its header alone.
    EXPECT_FALSE(Check(ToCp932(kSalesHeader) + "\r\n\x81\xFF"));
}

}  // namespace
