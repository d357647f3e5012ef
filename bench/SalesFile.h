#pragma once

// What the import benchmarks share: a desktop that only counts and the
// sales file they import.
#include "Desktop.h"

#include <QString>

#include <array>
#include <random>

namespace bench {

// Only counts; the benchmark has no screen.
class CountingDesktop : public Desktop {
public:
    int MsgBox(const QString& prompt, int, const QString&) override
    {
        ++messages;
        lastPrompt = prompt;
        return IDOK;
    }
    void SetMousePointer(int) override { }
    void DoEvents() override { ++events; }

    int messages = 0;
    int events = 0;
    QString lastPrompt;
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

// A sales file of lineCount lines, the header among them, as a shop's
// ledger export would hold them: a few hundred products over a dozen
// kinds (12 x variants), sold to about a hundred customers. Another seed
// gives other sales of the same products to the same customers, and a price
// raised by a yen sales that none of the default ones is the same as.
inline QString GenerateSalesText(int lineCount, int variants = 30, int year = 2024, unsigned seed = 20240105,
                                 int priceRaise = 0)
{
    const std::array<Product, 12> families = {{
        {"モニター", "ソニック電子", "えきしょうもにたー", "液晶モニター", "LM-%1W", "%1型 ワイド IPS", 19800},
        {"プリンター", "東都電機", "れーざーぷりんたー", "レーザープリンター", "LP-%1", "A4 モノクロ 毎分%1枚", 34800},
        {"消耗品", "東都電機", "となーかーとりっじ", "トナーカートリッジ", "TN-%1", "黒 約%100枚", 4500},
        {"ケーブル", "青葉工業", "えいちでぃーえむあいけーぶる", "ＨＤＭＩケーブル", "HC-%1", "%1m 4K対応", 1280},
        {"記憶装置", "北斗メモリ", "えすえすでぃー", "ＳＳＤ", "SD-%1G", "%10GB SATA", 8980},
        {"入力機器", "南海工業", "むせんまうす", "無線マウス", "MS-%1", "静音 %1ボタン", 2480},
        {"入力機器", "南海工業", "きーぼーど", "キーボード", "KB-%1JP", "日本語 %1キー", 3980},
        {"ネットワーク", "星野通信", "むせんらんるーたー", "無線ＬＡＮルーター", "WR-%1", "Wi-Fi 6 %1ストリーム",
         12800},
        {"電源", "髙橋電設", "でんげんたっぷ", "電源タップ", "PT-%1", "%1個口 雷ガード", 1980},
        {"周辺機器", "ソニック電子", "うぇぶかめら", "Ｗｅｂカメラ", "WC-%1", "フルＨＤ %1fps", 5480},
        {"音響", "青葉工業", "へっどせっと", "ヘッドセット", "HS-%1", "ＵＳＢ ノイズキャンセル%1", 6980},
        {"パソコン", "北斗メモリ", "のーとぱそこん", "ノートパソコン", "NB-%1", "%1型 メモリ16GB", 128000},
    }};
    const std::array<const char*, 24> customerStems = {
        "北星電機",   "青葉商店",     "南海商会",         "東和商事",   "みどり電器", "さくら事務機",
        "富士見ＯＡ", "大和システム", "ひかり通商",       "中央電子",   "丸山商店",   "港北デンキ",
        "松風堂",     "旭テクノ",     "山の手ＯＡ",       "河合電器",   "北斗商事",   "泉屋",
        "若葉情報",   "清水電業",     "朝日ＯＡセンター", "杉並デンキ", "㈱ミナト",   "髙島電機"};
    const std::array<const char*, 24> customerReadings = {"ほくせいでんき",
                                                          "あおばしょうてん",
                                                          "なんかいしょうかい",
                                                          "とうわしょうじ",
                                                          "みどりでんき",
                                                          "さくらじむき",
                                                          "ふじみおーえー",
                                                          "やまとしすてむ",
                                                          "ひかりつうしょう",
                                                          "ちゅうおうでんし",
                                                          "まるやましょうてん",
                                                          "こうほくでんき",
                                                          "しょうふうどう",
                                                          "あさひてくの",
                                                          "やまのておーえー",
                                                          "かわいでんき",
                                                          "ほくとしょうじ",
                                                          "いずみや",
                                                          "わかばじょうほう",
                                                          "しみずでんぎょう",
                                                          "あさひおーえーせんたー",
                                                          "すぎなみでんき",
                                                          "みなと",
                                                          "たかしまでんき"};
    const std::array<const char*, 4> branches = {"本店", "駅前店", "第二営業所", "物流センター"};

    std::mt19937 random(seed);
    const auto pick = [&](int n) { return int(random() % unsigned(n)); };

    QString text;
    text.reserve(lineCount * 110);
    text += QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,販売単価,ふりがな,販売先\r\n");
    int customer = 0;
    for (int line = 1; line < lineCount; ++line) {
        const Product& family = families[std::size_t(pick(int(families.size())))];
        const int variant = 1 + pick(variants);
        const QString model = QString::fromUtf8(family.model).arg(variant * 10 + 1);
        const QString spec = QString::fromUtf8(family.spec).arg(variant % 9 + 2);
        const int price = family.price + variant * 100 + priceRaise;
        const int quantity = 1 + pick(line % 17 == 0 ? 200 : 12);
        // Runs of lines for one customer; the name is then left empty (filled down).
        const bool newCustomer = line == 1 || pick(4) == 0;
        if (newCustomer)
            customer = pick(int(customerStems.size() * branches.size()));
        const QString customerName = QString::fromUtf8(customerStems[std::size_t(customer) % customerStems.size()])
                                     + QLatin1Char(' ')
                                     + QString::fromUtf8(branches[std::size_t(customer) / customerStems.size()]);
        const int month = 1 + (line * 12 / lineCount);
        const int day = 1 + pick(28);
        const QString date = line % 5 == 0 ? QStringLiteral("%5/%1/%2 %3:%4")
                                                 .arg(month)
                                                 .arg(day)
                                                 .arg(9 + pick(9))
                                                 .arg(pick(60), 2, 10, QLatin1Char('0'))
                                                 .arg(year)
                                           : QStringLiteral("%3/%1/%2").arg(month).arg(day).arg(year);
        text += date + QLatin1Char(',') + QString::fromUtf8(family.kind) + QLatin1Char(',')
                + QString::fromUtf8(family.maker) + QLatin1Char(',') + QString::fromUtf8(family.reading)
                + QLatin1Char(',') + QString::fromUtf8(family.name) + QLatin1Char(' ') + model + QLatin1Char(',')
                + model + QLatin1Char(',') + spec + QLatin1Char(',') + QString::number(quantity) + QLatin1Char(',')
                + QString::number(price) + QLatin1Char(',');
        if (newCustomer)
            text += QString::fromUtf8(customerReadings[std::size_t(customer) % customerReadings.size()])
                    + QLatin1Char(',') + customerName;
        else
            text += QLatin1Char(',');
        text += QStringLiteral("\r\n");
    }
    return text;
}

}  // namespace bench
