// Imports a generated 32767-line code page 932 sales file into a fresh
// ledger through the engine and the SQLite store, then times the sqlite3
// command's .import of the same data (as UTF-8) into a plain table of a
// fresh database, and prints both times and their ratio. The import is
// timed again with the program's QtDesktop, whose DoEvents runs Qt's event
// loop (offscreen, with the window shown), once on every line and once at
// the program's own pace.
//
//   bench_import [rounds]     (default 3; the best round of each counts)
#include "Desktop.h"
#include "QtDesktop.h"
#include "SqliteLedgerStore.h"
#include "frmMain.h"
#include "TestFiles.h"
#include "TextFile.h"
#include "clsImportSource.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>

namespace {

constexpr int kLineCount = 32767;

// Only counts; the benchmark has no screen.
class CountingDesktop : public Desktop {
public:
    void MsgBox(const QString& prompt, int, const QString&) override
    {
        ++messages;
        lastPrompt = prompt;
    }
    void SetMousePointer(int) override {}
    void DoEvents() override { ++events; }

    int messages = 0;
    int events = 0;
    QString lastPrompt;
};

// Counts messages, but lets Qt's event loop run as the program's desktop does.
class EventLoopDesktop : public CountingDesktop {
public:
    explicit EventLoopDesktop(std::chrono::milliseconds interval) : m_qt(interval) {}
    void DoEvents() override { m_qt.DoEvents(); }

private:
    QtDesktop m_qt;
};

struct Product {
    const char* kind;
    const char* maker;
    const char* reading;
    const char* name;
    const char* model;
    const char* spec;
    int price;
};

// Sales lines as a shop's ledger export would hold them: a few hundred
// products over a dozen kinds, sold to about a hundred customers.
QString GenerateSalesText()
{
    const std::array<Product, 12> families = {{
        {"モニター", "ソニック電子", "えきしょうもにたー", "液晶モニター", "LM-%1W", "%1型 ワイド IPS", 19800},
        {"プリンター", "東都電機", "れーざーぷりんたー", "レーザープリンター", "LP-%1", "A4 モノクロ 毎分%1枚", 34800},
        {"消耗品", "東都電機", "となーかーとりっじ", "トナーカートリッジ", "TN-%1", "黒 約%100枚", 4500},
        {"ケーブル", "青葉工業", "えいちでぃーえむあいけーぶる", "ＨＤＭＩケーブル", "HC-%1", "%1m 4K対応", 1280},
        {"記憶装置", "北斗メモリ", "えすえすでぃー", "ＳＳＤ", "SD-%1G", "%10GB SATA", 8980},
        {"入力機器", "南海工業", "むせんまうす", "無線マウス", "MS-%1", "静音 %1ボタン", 2480},
        {"入力機器", "南海工業", "きーぼーど", "キーボード", "KB-%1JP", "日本語 %1キー", 3980},
        {"ネットワーク", "星野通信", "むせんらんるーたー", "無線ＬＡＮルーター", "WR-%1", "Wi-Fi 6 %1ストリーム", 12800},
        {"電源", "髙橋電設", "でんげんたっぷ", "電源タップ", "PT-%1", "%1個口 雷ガード", 1980},
        {"周辺機器", "ソニック電子", "うぇぶかめら", "Ｗｅｂカメラ", "WC-%1", "フルＨＤ %1fps", 5480},
        {"音響", "青葉工業", "へっどせっと", "ヘッドセット", "HS-%1", "ＵＳＢ ノイズキャンセル%1", 6980},
        {"パソコン", "北斗メモリ", "のーとぱそこん", "ノートパソコン", "NB-%1", "%1型 メモリ16GB", 128000},
    }};
    const std::array<const char*, 24> customerStems = {
        "北星電機", "青葉商店", "南海商会", "東和商事", "みどり電器", "さくら事務機", "富士見ＯＡ", "大和システム",
        "ひかり通商", "中央電子", "丸山商店", "港北デンキ", "松風堂", "旭テクノ", "山の手ＯＡ", "河合電器",
        "北斗商事", "泉屋", "若葉情報", "清水電業", "朝日ＯＡセンター", "杉並デンキ", "㈱ミナト", "髙島電機"};
    const std::array<const char*, 24> customerReadings = {
        "ほくせいでんき", "あおばしょうてん", "なんかいしょうかい", "とうわしょうじ", "みどりでんき", "さくらじむき",
        "ふじみおーえー", "やまとしすてむ", "ひかりつうしょう", "ちゅうおうでんし", "まるやましょうてん",
        "こうほくでんき", "しょうふうどう", "あさひてくの", "やまのておーえー", "かわいでんき", "ほくとしょうじ",
        "いずみや", "わかばじょうほう", "しみずでんぎょう", "あさひおーえーせんたー", "すぎなみでんき", "みなと",
        "たかしまでんき"};
    const std::array<const char*, 4> branches = {"本店", "駅前店", "第二営業所", "物流センター"};

    std::mt19937 random(20240105);
    const auto pick = [&](int n) { return int(random() % unsigned(n)); };

    QString text;
    text.reserve(kLineCount * 110);
    text += QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,販売単価,ふりがな,販売先\r\n");
    int customer = 0;
    for (int line = 1; line < kLineCount; ++line) {
        const Product& family = families[std::size_t(pick(int(families.size())))];
        const int variant = 1 + pick(30);  // 12 families x 30 variants = 360 products
        const QString model = QString::fromUtf8(family.model).arg(variant * 10 + 1);
        const QString spec = QString::fromUtf8(family.spec).arg(variant % 9 + 2);
        const int price = family.price + variant * 100;
        const int quantity = 1 + pick(line % 17 == 0 ? 200 : 12);
        // Runs of lines for one customer; the name is then left empty (filled down).
        const bool newCustomer = line == 1 || pick(4) == 0;
        if (newCustomer)
            customer = pick(int(customerStems.size() * branches.size()));
        const QString customerName =
            QString::fromUtf8(customerStems[std::size_t(customer) % customerStems.size()]) + QLatin1Char(' ') +
            QString::fromUtf8(branches[std::size_t(customer) / customerStems.size()]);
        const int month = 1 + (line * 12 / kLineCount);
        const int day = 1 + pick(28);
        const QString date = line % 5 == 0
                                 ? QStringLiteral("2024/%1/%2 %3:%4").arg(month).arg(day).arg(9 + pick(9)).arg(pick(60), 2, 10, QLatin1Char('0'))
                                 : QStringLiteral("2024/%1/%2").arg(month).arg(day);
        text += date + QLatin1Char(',') + QString::fromUtf8(family.kind) + QLatin1Char(',') +
                QString::fromUtf8(family.maker) + QLatin1Char(',') + QString::fromUtf8(family.reading) +
                QLatin1Char(',') + QString::fromUtf8(family.name) + QLatin1Char(' ') + model + QLatin1Char(',') +
                model + QLatin1Char(',') + spec + QLatin1Char(',') + QString::number(quantity) + QLatin1Char(',') +
                QString::number(price) + QLatin1Char(',');
        if (newCustomer)
            text += QString::fromUtf8(customerReadings[std::size_t(customer) % customerReadings.size()]) +
                    QLatin1Char(',') + customerName;
        else
            text += QLatin1Char(',');
        text += QStringLiteral("\r\n");
    }
    return text;
}

double Milliseconds(std::chrono::steady_clock::duration elapsed)
{
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

// Accepts everything and stores nothing: what the engine costs by itself.
class NullStore : public clsLedgerStore {
public:
    void OpenConnection(const QString&, QString&, bool& blnFailed) override { blnFailed = false; }
    void InsertTrade(ProductRecord&, PartyRecord&, PartyRecord&, TradeRecord&, bool, QString&,
                     bool& blnFailed) override
    {
        blnFailed = false;
    }
    void ResolveProduct(const QString&, ProductRecord& product, QString&, bool& blnFailed) override
    {
        product.lngProductID = 1;
        blnFailed = false;
    }
    void ResolveSupplier(const QString&, PartyRecord& supplier, QString&, bool& blnFailed) override
    {
        supplier.lngPartyID = 1;
        blnFailed = false;
    }
    void ResolveCustomer(const QString&, PartyRecord& customer, QString&, bool& blnFailed) override
    {
        customer.lngPartyID = 1;
        blnFailed = false;
    }
    int32_t GetKindCode(const QString&) override { return 1; }
};

// One import by the engine into a new ledger in folder/Data (or into
// nothing with the null store).
double ImportMs(const QString& folder, const QString& csvPath, CountingDesktop& desktop, bool nullStore = false)
{
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder + QStringLiteral("/Data")))
        throw std::runtime_error("cannot make " + folder.toStdString());
    const QString connection =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + folder + QStringLiteral("/Data/iOrvanta.mdb");

    clsImportSource engine(desktop, [nullStore]() -> std::unique_ptr<clsLedgerStore> {
        if (nullStore)
            return std::make_unique<NullStore>();
        return std::make_unique<SqliteLedgerStore>();
    });
    if (engine.IMPFileCheck(csvPath))
        throw std::runtime_error("header check failed");
    const int messagesBefore = desktop.messages;
    const auto started = std::chrono::steady_clock::now();
    engine.ExecImport(csvPath, connection);
    const double ms = Milliseconds(std::chrono::steady_clock::now() - started);

    const QString expected = QStringLiteral("全レコード %1 件中 %1 件インポートしました。").arg(kLineCount - 1);
    if (desktop.messages != messagesBefore + 1 || desktop.lastPrompt != expected)
        throw std::runtime_error("unexpected outcome: " + desktop.lastPrompt.toStdString());
    return ms;
}

// One run of the sqlite3 command importing the UTF-8 file into a new database.
double SqliteCommandMs(const QString& folder, const QString& utf8Path)
{
    const QString database = folder + QStringLiteral("/plain.db");
    QFile::remove(database);
    QProcess process;
    const QStringList arguments = {
        database,
        QStringLiteral("CREATE TABLE sales(trade_date, kind, maker, reading, name, model, spec, quantity,"
                       " unit_price, customer_reading, customer)"),
        QStringLiteral(".import --csv --skip 1 ") + utf8Path + QStringLiteral(" sales"),
    };
    const auto started = std::chrono::steady_clock::now();
    process.start(QStringLiteral("sqlite3"), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error("sqlite3 failed: " + process.readAllStandardError().toStdString());
    const double ms = Milliseconds(std::chrono::steady_clock::now() - started);
    if (!process.readAllStandardError().isEmpty())
        throw std::runtime_error("sqlite3 complained");
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        // The program's window and event loop, without a screen.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        CountingDesktop windowDesktop;
        frmMain window(windowDesktop, [] { return std::make_unique<NullStore>(); });
        window.show();
        QApplication::processEvents();

        const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
        ScratchDir dir;
        const QByteArray cp932 = ToCp932(GenerateSalesText());
        const QString csvPath = dir.write(QStringLiteral("sales.csv"), cp932);
        // The same data as the reader sees it, written as UTF-8 for sqlite3.
        const QString utf8Path = dir.write(QStringLiteral("sales-utf8.csv"), DecodeImportText(cp932).toUtf8());

        double engineBest = 1e300;
        double sqliteBest = 1e300;
        double engineAloneBest = 1e300;
        double everyLineBest = 1e300;
        double pacedBest = 1e300;
        double aloneEveryLineBest = 1e300;
        double alonePacedBest = 1e300;
        const QString ledger = dir.path(QStringLiteral("ledger"));
        for (int round = 0; round < rounds; ++round) {
            CountingDesktop counting;
            engineAloneBest = std::min(engineAloneBest, ImportMs(dir.path(QStringLiteral("null")), csvPath, counting, true));
            engineBest = std::min(engineBest, ImportMs(ledger, csvPath, counting));
            EventLoopDesktop everyLine(std::chrono::milliseconds(0));
            everyLineBest = std::min(everyLineBest, ImportMs(ledger, csvPath, everyLine));
            EventLoopDesktop paced{QtDesktop().EventInterval()};
            pacedBest = std::min(pacedBest, ImportMs(ledger, csvPath, paced));
            EventLoopDesktop aloneEveryLine(std::chrono::milliseconds(0));
            aloneEveryLineBest = std::min(aloneEveryLineBest,
                                          ImportMs(dir.path(QStringLiteral("null")), csvPath, aloneEveryLine, true));
            EventLoopDesktop alonePaced{QtDesktop().EventInterval()};
            alonePacedBest = std::min(alonePacedBest,
                                      ImportMs(dir.path(QStringLiteral("null")), csvPath, alonePaced, true));
            sqliteBest = std::min(sqliteBest, SqliteCommandMs(dir.root(), utf8Path));
        }
        std::printf("%d data lines, %lld bytes (CP932), best of %d rounds\n", kLineCount - 1,
                    static_cast<long long>(cp932.size()), rounds);
        std::printf("ExecImport into SqliteLedgerStore: %8.1f ms (DoEvents does nothing)\n", engineBest);
        const long long interval = QtDesktop().EventInterval().count();
        std::printf("  of which the engine alone:       %8.1f ms (a store that does nothing)\n", engineAloneBest);
        std::printf("  Qt event loop on every line:     %8.1f ms (engine alone %.1f ms)\n", everyLineBest,
                    aloneEveryLineBest);
        std::printf("  Qt event loop every %2lld ms:       %8.1f ms (engine alone %.1f ms; the program's pace)\n",
                    interval, pacedBest, alonePacedBest);
        std::printf("sqlite3 .import (UTF-8):           %8.1f ms\n", sqliteBest);
        std::printf("ratio:                             %8.2f (program's pace against sqlite3)\n",
                    pacedBest / sqliteBest);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_import: %s\n", error.what());
        return 1;
    }
}
