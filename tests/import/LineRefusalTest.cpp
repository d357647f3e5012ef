#include "Desktop.h"
#include "ImportFixtures.h"
#include "RecordingDesktop.h"
#include "RecordingStore.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

const QString kConnection = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/tmp/Data/iOrvanta.mdb");

// A line of the sales file whose column `column` (1-based) is `value`, in code page 932.
QByteArray LineWith(int column, const QByteArray& value)
{
    QList<QByteArray> fields =
        ToCp932(QStringLiteral("2024/4/1,文具,北星,のーと,ノート,N-4,A4,10,120,きたやま,北山商店")).split(',');
    fields[column - 1] = value;
    return fields.join(',');
}

// What became of the one data line of a file: refused for one reason, or imported.
struct Outcome {
    QString code;    // empty: imported
    QString column;
    QString text;
    QString value;
};

class LineRefusal : public ::testing::Test {
protected:
    // Imports the data lines under the header; every report goes to the recorded places.
    void Import(const QByteArray& header, const QList<QByteArray>& lines)
    {
        log = std::make_shared<StoreLog>();
        desktop = RecordingDesktop();
        const QString path = dir.write(QStringLiteral("import.csv"), header + "\r\n" + lines.join("\r\n") + "\r\n");
        clsImportSource engine(desktop, RecordingStore::factory(log));
        ASSERT_FALSE(engine.IMPFileCheck(path));
        engine.ExecImport(path, kConnection);
    }
    // The first refused line's reasons, as the run keeps them.
    std::vector<Outcome> Reasons(std::size_t index = 0) const
    {
        std::vector<Outcome> reasons;
        for (const LineReason& reason : log->rejected.at(index).reasons)
            reasons.push_back({reason.strCode, reason.strColumn, reason.strText, reason.strValue});
        return reasons;
    }
    static void ExpectReasons(const std::vector<Outcome>& actual, const std::vector<Outcome>& expected)
    {
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < actual.size(); ++i) {
            EXPECT_EQ(actual[i].code, expected[i].code);
            EXPECT_EQ(actual[i].column, expected[i].column);
            EXPECT_EQ(actual[i].text, expected[i].text);
            EXPECT_EQ(actual[i].value, expected[i].value);
        }
    }

    ScratchDir dir;
    RecordingDesktop desktop;
    std::shared_ptr<StoreLog> log;
};

// A value whose bytes did not decode, or that holds a control character, is
// refused with its column; nothing of its line reaches the store.
TEST_F(LineRefusal, AValueTheFileCannotHaveMeantIsRefusedWithItsColumn)
{
    const QString undecodable = QStringLiteral("UTF-8 でもシフトJIS でも読めないバイト（0x%1）があります。");
    const QString control = QStringLiteral("制御文字（U+%1）が含まれています。");
    const QByteArray hokuto = ToCp932(QStringLiteral("北斗"));
    struct Case {
        const char* name;
        int column;
        QByteArray value;
        Outcome outcome;
        QString stored;  // column 11, 5 or 7 as the store got it, when imported
    };
    const Case cases[] = {
        {"lead byte before DEL", 11, hokuto + "\x81\x7F", {"CLS-is1004", "販売先", undecodable.arg("81"), QStringLiteral("北斗\uFFFD\x7F")}, {}},
        {"byte past code page 932", 5, "A\xFF", {"CLS-is1003", "製品名", undecodable.arg("FF"), QStringLiteral("A\uFFFD")}, {}},
        {"unassigned pair in the kind", 2, "\x85\x40", {"CLS-is1001", "種別", undecodable.arg("85"), QStringLiteral("\uFFFD@")}, {}},
        {"undecodable reading", 10, "\xA0", {"CLS-is1004", "ふりがな", undecodable.arg("A0"), QStringLiteral("\uFFFD")}, {}},
        {"ESC in the maker", 3, "\x1b[31m", {"CLS-is1003", "メーカー", control.arg("001B"), QStringLiteral("\x1b[31m")}, {}},
        {"U+0001 in the date", 1, "2024/4/1\x01", {"CLS-is1002", "日付", control.arg("0001"), QStringLiteral("2024/4/1\x01")}, {}},
        {"NUL in the name", 11, QByteArray("a\0b", 3), {"CLS-is1004", "販売先", control.arg("0000"), QString::fromUtf16(u"a\0b", 3)}, {}},
        {"DEL in the product", 5, "x\x7f", {"CLS-is1003", "製品名", control.arg("007F"), QStringLiteral("x\x7f")}, {}},
        {"code page 932 extensions", 11, ToCp932(QStringLiteral("①㈱Ⅰ髙ﾊﾝｶｸ")), {}, QStringLiteral("①㈱Ⅰ髙ﾊﾝｶｸ")},
        {"a tab", 5, "a\tb", {}, QStringLiteral("a\tb")},
        {"a cell written with Alt+Enter", 7, "\"A4\n方眼\"", {}, QStringLiteral("A4\n方眼")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The cell line is UTF-8 as a test literal: keep it so only for that case.
        QByteArray value = c.value;
        if (c.column == 7)
            value = ToCp932(QString::fromUtf8(c.value));
        Import(ToCp932(kSalesHeader), {LineWith(c.column, value)});
        if (c.outcome.code.isEmpty()) {
            EXPECT_EQ(desktop.prompts(), QStringList{Totals(1, 1)});
            ASSERT_EQ(log->inserts.size(), 1u);
            const auto& insert = log->inserts[0];
            const QString stored = c.column == 11 ? insert.customer.strPartyName
                                   : c.column == 5 ? insert.product.strProductName
                                                   : insert.product.strSpec;
            EXPECT_EQ(stored, c.stored);
            continue;
        }
        EXPECT_EQ(desktop.prompts(), (QStringList{Report(c.outcome.code, c.outcome.text), Totals(1, 0)}));
        EXPECT_EQ(log->count("ResolveProduct") + log->count("ResolveCustomer") + log->count("InsertTrade"), 0);
        ASSERT_EQ(log->rejected.size(), 1u);
        ExpectReasons(Reasons(), {c.outcome});
        ASSERT_EQ(desktop.places.size(), 1u);
        EXPECT_EQ(desktop.places[0].strColumn, c.outcome.column);
        EXPECT_EQ(desktop.places[0].strValue, c.outcome.value);
        // The record is kept as text the ledger can hold: a byte that did not decode shows as U+FFFD.
        EXPECT_FALSE(log->rejected[0].strRecord.contains(QChar(0xDC00 + 0x81)));
        EXPECT_EQ(log->rejected[0].strRecord.contains(QChar(0xFFFD)), c.outcome.value.contains(QChar(0xFFFD)));
    }
}

TEST_F(LineRefusal, AGenuineReplacementCharacterInAUtf8FileIsText)
{
    Import(kSalesHeader.toUtf8(), {QStringLiteral("2024/4/1,文具,北星,のーと,ノート,N-4,A4,10,120,,北\uFFFD商店").toUtf8()});
    EXPECT_EQ(desktop.prompts(), QStringList{Totals(1, 1)});
    ASSERT_EQ(log->inserts.size(), 1u);
    EXPECT_EQ(log->inserts[0].customer.strPartyName, QStringLiteral("北\uFFFD商店"));
}

// More values than the header names columns move every later one: refused,
// unless the extra ones are a spreadsheet's empty trailing cells.
TEST_F(LineRefusal, ALineWithAValuePastTheHeadersLastNameIsRefused)
{
    const QString more = QStringLiteral("項目の数がヘッダーより多くなっています（ヘッダー %1 項目、この行 %2 項目）。");
    const QString good = QStringLiteral("2024/4/1,文具,北星,のーと,ノート,N-4,A4,3,1200,いちかわこうむてん,市川工務店");
    struct Case {
        const char* name;
        QString header;
        QString line;
        QString refusal;  // empty: imported
    };
    const Case cases[] = {
        {"a grouped price typed unquoted", kSalesHeader,
         QStringLiteral("2024/4/1,文具,北星,のーと,ノート,N-4,A4,3,12,800,いちかわこうむてん,市川工務店"), more.arg(11).arg(12)},
        {"the price quoted", kSalesHeader,
         QStringLiteral("2024/4/1,文具,北星,のーと,ノート,N-4,A4,3,\"12,800\",いちかわこうむてん,市川工務店"), QString()},
        {"trailing commas", kSalesHeader, good + QStringLiteral(",,,"), QString()},
        {"trailing blanks and an empty quoted value", kSalesHeader, good + QStringLiteral(", ,\"\",　"), QString()},
        {"a value after empty ones", kSalesHeader, good + QStringLiteral(",,,x,"), more.arg(11).arg(14)},
        {"a header's trailing commas name nothing", kSalesHeader + QStringLiteral(",,"), good + QStringLiteral(",備考"),
         more.arg(11).arg(12)},
        {"a header's own twelfth column", kSalesHeader + QStringLiteral(",備考"), good + QStringLiteral(",至急"), QString()},
        {"past the header's twelfth column", kSalesHeader + QStringLiteral(",備考"), good + QStringLiteral(",至急,x"),
         more.arg(12).arg(13)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Import(ToCp932(c.header), {ToCp932(c.line)});
        if (c.refusal.isEmpty()) {
            EXPECT_EQ(desktop.prompts(), QStringList{Totals(1, 1)});
            ASSERT_EQ(log->inserts.size(), 1u);
            EXPECT_EQ(log->inserts[0].customer.strPartyName, QStringLiteral("市川工務店"));
            EXPECT_EQ(log->inserts[0].customer.strReading, QStringLiteral("いちかわこうむてん"));
            continue;
        }
        EXPECT_EQ(desktop.prompts(), (QStringList{Report("CLS-is1001", c.refusal), Totals(1, 0)}));
        EXPECT_EQ(log->calls, QStringList{QStringLiteral("OpenConnection:") + kConnection});
        ASSERT_EQ(log->rejected.size(), 1u);
        EXPECT_EQ(log->rejected[0].strRecord, c.line);
        ExpectReasons(Reasons(), {{"CLS-is1001", QString(), c.refusal, QString()}});
    }
}

// A blank party repeats the last one; when the last one could not be read
// there is nothing to repeat, until a line names its party again.
TEST_F(LineRefusal, ABlankPartyAfterOneThatCouldNotBeReadIsRefusedToo)
{
    const QString carry = QStringLiteral("前の行の販売先を読み取れなかったため、引き継げません。");
    const auto line = [](const char* date, const QString& party) {
        return ToCp932(QStringLiteral("2024/4/%1,文具,北星,のーと,ノート,N-4,A4,1,100,").arg(QLatin1String(date)) + party);
    };
    Import(ToCp932(kSalesHeader),
           {line("1", QStringLiteral("きたやま,北山商店")),
            line("2", QStringLiteral("いちかわ,市川,工務店")),                 // shifted
            line("3", QStringLiteral(",")),                                    // carries the shifted party
            line("4", QStringLiteral("なんかい,南海商会")),
            line("5", QStringLiteral(",")),
            line("x", QStringLiteral("とうと,東都商事")),                      // refused, but its party reads
            line("7", QStringLiteral(",")),
            line("8", QStringLiteral("ほくと,")) + "\x81\x7F",              // its name did not decode
            line("9", QStringLiteral(","))});
    EXPECT_EQ(desktop.prompts().back(), Totals(9, 4));
    ASSERT_EQ(log->inserts.size(), 4u);
    const QStringList parties = {log->inserts[0].customer.strPartyName, log->inserts[1].customer.strPartyName,
                                 log->inserts[2].customer.strPartyName, log->inserts[3].customer.strPartyName};
    EXPECT_EQ(parties, (QStringList{"北山商店", "南海商会", "南海商会", "東都商事"}));
    std::vector<int64_t> refused;
    for (const RejectedLine& rejected : log->rejected)
        refused.push_back(rejected.lngLineNumber);
    EXPECT_EQ(refused, (std::vector<int64_t>{3, 4, 7, 9, 10}));
    ExpectReasons(Reasons(1), {{"CLS-is1004", "販売先", carry, QString()}});
    ExpectReasons(Reasons(4), {{"CLS-is1004", "販売先", carry, QString()}});
}

}  // namespace
