#include "RecordingDesktop.h"
#include "WindowFixture.h"
#include "frmMain.h"
#include "frmPattern.h"

#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>

#include "FileChoice.h"
#include "PatternFile.h"
#include "SqliteLedgerStore.h"

#include <sqlite3.h>

#include <memory>

namespace {

// Rows of a query, each as its columns' texts joined with '|'.
QStringList Query(const QString& databasePath, const char* sql)
{
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(databasePath.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
    if (opened != SQLITE_OK)
        throw std::runtime_error("cannot open " + databasePath.toStdString());
    sqlite3_stmt* rawStatement = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql, -1, &rawStatement, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db.get()));
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(rawStatement, &sqlite3_finalize);
    QStringList rows;
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        QStringList columns;
        for (int i = 0; i < sqlite3_column_count(statement.get()); ++i)
            columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), i)));
        rows << columns.join(QLatin1Char('|'));
    }
    return rows;
}

// The program as it runs: the real ledger store under Data/ of a fresh
// current directory, the user's side recorded.
class EndToEndTest : public ::testing::Test {
protected:
    EndToEndTest() : here(work.path()), window(desktop, [] { return std::make_unique<SqliteLedgerStore>(); })
    {
        QDir(work.path()).mkdir(QStringLiteral("Data"));
    }

    void dropAndImport(const QString& path)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        SendDrop(*window.findChild<QLabel*>(QStringLiteral("lblItem")), data);
        DeliverPosted();
        window.findChild<QPushButton*>(QStringLiteral("cmdExec"))->click();
    }
    QString database() const { return QDir(work.path()).filePath(QStringLiteral("Data/iOrvanta.mdb")); }

    QTemporaryDir work;
    CurrentDirectoryScope here;
    RecordingDesktop desktop;
    frmMain window;
};

TEST_F(EndToEndTest, ADroppedSalesFileLandsInTheLedgerUnderTheCurrentDirectory)
{
    const QString path = QDir(work.path()).filePath(QStringLiteral("売上.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,販売単価,ふりがな,販売先\r\n"
                              "2024/05/07,パソコン,富士見電機,のーとぱそこん,ノートパソコン FM-14,FM-14A,"
                              "\"14型, Core i5\",2,128000,まるやま,丸山商会\r\n"
                              "2024/05/09,消耗品,東都電機,となー,トナー,TN-20K,黒,4,9800,たかはし,髙橋設計\r\n")
                   .toUtf8());
    file.close();

    dropAndImport(path);

    EXPECT_EQ(desktop.prompts(), QStringList({QStringLiteral("全レコード 2 件中 2 件インポートしました。")}));
    EXPECT_EQ(desktop.pointers, std::vector<int>({11, 0}));
    EXPECT_EQ(Query(database(), "SELECT t.trade_kind, t.trade_date, p.name, p.maker, p.spec, c.name, t.quantity,"
                                " t.unit_price, t.amount, t.supplier_id IS NULL"
                                " FROM trades t JOIN products p USING (product_id)"
                                " JOIN customers c USING (customer_id) ORDER BY t.trade_id"),
              QStringList({QStringLiteral(
                               "1|2024-05-07|ノートパソコン FM-14|富士見電機|14型, Core i5|丸山商会|2|128000|256000|1"),
                           QStringLiteral("1|2024-05-09|トナー|東都電機|黒|髙橋設計|4|9800|39200|1")}));

    // The chosen file stays chosen: a second click, once the clerk confirms
    // the repeat and wants every line, adds the same trades again.
    desktop.answer = IDYES;
    desktop.threeWayAnswer = IDNO;
    window.findChild<QPushButton*>(QStringLiteral("cmdExec"))->click();
    EXPECT_EQ(Query(database(), "SELECT count(*) FROM trades"), QStringList({QStringLiteral("4")}));
    EXPECT_EQ(Query(database(), "SELECT count(*) FROM products"), QStringList({QStringLiteral("2")}));
}

TEST_F(EndToEndTest, ThePurchaseSampleInItsShiftJisTextIsImportedWhole)
{
    dropAndImport(QStringLiteral(MORA_SAMPLES_DIR "/purchase-cp932.csv"));

    ASSERT_EQ(desktop.messages.size(), 1u) << desktop.prompts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(desktop.messages[0].prompt, QStringLiteral("全レコード 12 件中 12 件インポートしました。"));
    EXPECT_EQ(desktop.messages[0].title, QStringLiteral("インポート完了"));
    EXPECT_EQ(Query(database(), "SELECT count(*), sum(trade_kind), count(customer_id) FROM trades"),
              QStringList({QStringLiteral("12|0|0")}));
    EXPECT_EQ(Query(database(), "SELECT p.name, s.name, t.quantity, t.amount FROM trades t"
                                " JOIN products p USING (product_id) JOIN suppliers s USING (supplier_id)"
                                " ORDER BY t.trade_id LIMIT 1"),
              QStringList({QStringLiteral("ノートパソコン FM-14|富士見電機販売|5|490000")}));
}

}  // namespace

namespace {

// The sample exports of other layouts, through the patterns of their files,
// as the command line imports them: the same ledger rows.
TEST_F(EndToEndTest, ExportsOfOtherLayoutsImportThroughTheirKeptPatterns)
{
    const auto openPatterns = [](const QString& strConnection, bool blnToWrite) {
        return OpenSqliteLedgerPatterns(strConnection, blnToWrite);
    };
    window.SetLedgerPatterns(openPatterns);
    const QString samples = QStringLiteral(MORA_SAMPLES_DIR "/patterns/");
    for (const char* name : {"sales-system.json", "supplier-titled.json"}) {
        QFile file(samples + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        openPatterns(LedgerConnectionString(), true)
            ->SavePattern(std::get<ImportPattern>(ReadPatternFile(file.readAll())));
    }
    dropAndImport(samples + QStringLiteral("sales-system.csv"));
    dropAndImport(samples + QStringLiteral("supplier-titled.csv"));
    EXPECT_EQ(desktop.prompts(), (QStringList{QStringLiteral("全レコード 3 件中 3 件インポートしました。"),
                                              QStringLiteral("全レコード 2 件中 2 件インポートしました。")}));
    EXPECT_EQ(Query(database(), "SELECT t.trade_kind || '|' || t.trade_date || '|' || p.name || '|' ||"
                                " coalesce(s.name, c.name) || '|' || t.amount || '|' || r.pattern_name"
                                " FROM trades t JOIN products p USING (product_id) JOIN runs r USING (run_id)"
                                " LEFT JOIN suppliers s USING (supplier_id) LEFT JOIN customers c USING (customer_id)"
                                " ORDER BY t.trade_id"),
              (QStringList{QStringLiteral("1|2024-01-10|ノート|北山商店|360|販売管理の売上明細"),
                           QStringLiteral("1|2024-01-10|ボールペン|北山商店|800|販売管理の売上明細"),
                           QStringLiteral("1|2024-01-11|ノート|南商会|240|販売管理の売上明細"),
                           QStringLiteral("0|2024-01-05|コピー用紙|東和商事|9000|仕入先の納品明細"),
                           QStringLiteral("0|2024-01-12|トナー|東和商事|16000|仕入先の納品明細")}));
}

}  // namespace

namespace {

// A file without a header finds no pattern by itself: the clerk makes one
// from the box that refuses it, and the import then reads the file with it.
TEST_F(EndToEndTest, AHeaderlessFileImportsThroughThePatternMadeForItFromTheRefusingBox)
{
    window.SetLedgerPatterns([](const QString& strConnection, bool blnToWrite) {
        return OpenSqliteLedgerPatterns(strConnection, blnToWrite);
    });
    desktop.answer = IDYES;  // 取込パターンを作る…
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&poll] {
        auto* dialog = qobject_cast<frmPattern*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        dialog->findChild<QSpinBox*>(QStringLiteral("spnHeaderRow"))->setValue(0);
        dialog->findChild<QComboBox*>(QStringLiteral("cboDateForm"))->setCurrentText(QStringLiteral("yyyy-MM-dd"));
        for (const auto& [column, field] : {std::pair{1, PatternField::Date}, std::pair{2, PatternField::PartyName},
                                            std::pair{3, PatternField::UnitPrice}})
            dialog->findChild<QComboBox*>(QStringLiteral("cboField%1").arg(column))->setCurrentIndex(int(field) + 1);
        auto* fixed = dialog->findChild<QTableWidget*>(QStringLiteral("grdFixed"));
        fixed->setItem(int(PatternField::ProductName), 0, new QTableWidgetItem(QStringLiteral("振込入金")));
        fixed->setItem(int(PatternField::Quantity), 0, new QTableWidgetItem(QStringLiteral("1")));
        dialog->findChild<QPushButton*>(QStringLiteral("cmdSave"))->click();
    });
    poll.start(10);
    dropAndImport(QStringLiteral(MORA_SAMPLES_DIR "/patterns/bank-headerless.csv"));
    EXPECT_EQ(desktop.prompts().value(0), QStringLiteral("選択されたファイルの書式が違います。"));
    EXPECT_EQ(desktop.prompts().value(1), QStringLiteral("全レコード 2 件中 2 件インポートしました。"));
    EXPECT_EQ(Query(database(), "SELECT t.trade_date || '|' || c.name || '|' || t.amount || '|' || r.pattern_name"
                                " FROM trades t JOIN customers c USING (customer_id) JOIN runs r USING (run_id)"
                                " ORDER BY t.trade_id"),
              (QStringList{QStringLiteral("2024-01-15|北山商店|5000|bank-headerless"),
                           QStringLiteral("2024-01-16|南商会|12000|bank-headerless")}));
}

}  // namespace
