#include "ImportFixtures.h"
#include "RecordingDesktop.h"
#include "RecordingStore.h"
#include "TestFiles.h"
#include "TextFile.h"
#include "clsImportSource.h"

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

const QString kConnection = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/tmp/Data/iOrvanta.mdb");

// A sales line in code page 932 whose column `column` holds the raw bytes `value`.
QByteArray Line(int column = 0, const QByteArray& value = {})
{
    QList<QByteArray> fields =
        ToCp932(QStringLiteral("2024/4/1,文具,北星,のーと,ノート,N-4,A4,3,1200,きたやま,北山商店")).split(',');
    if (column > 0)
        fields[column - 1] = value;
    return fields.join(',');
}

class LineRefusal : public ::testing::Test {
protected:
    void Import(const QString& header, const QList<QByteArray>& lines)
    {
        log = std::make_shared<StoreLog>();
        desktop = RecordingDesktop();
        const QString path = dir.write(QStringLiteral("a.csv"), ToCp932(header) + "\r\n" + lines.join("\r\n"));
        clsImportSource engine(desktop, RecordingStore::factory(log));
        ASSERT_FALSE(engine.IMPFileCheck(path));
        engine.ExecImport(path, kConnection);
    }

    ScratchDir dir;
    RecordingDesktop desktop;
    std::shared_ptr<StoreLog> log;
};

// Every refusal is one reason of its line, and nothing of the line reaches the store.
TEST_F(LineRefusal, ALineTheFileCannotHaveMeantIsRefusedWithItsReason)
{
    const auto more = [](int header, int line) {
        return QStringLiteral("項目の数がヘッダーより多くなっています（ヘッダー %1 項目、この行 %2 項目）。")
            .arg(header)
            .arg(line);
    };
    const auto undecodable = [](const char* byte) {
        return QStringLiteral("UTF-8 でもシフトJIS でも読めないバイト（0x%1）があります。").arg(QLatin1String(byte));
    };
    const auto control = [](const char* code) {
        return QStringLiteral("制御文字（U+%1）が含まれています。").arg(QLatin1String(code));
    };
    struct Case {
        const char* name;
        QString headerTail;
        QByteArray line;
        LineReason reason;  // {code, text, column, value}; no code: imported
    };
    const Case cases[] = {
        {"a grouped price unquoted", {}, Line(9, "12,800"), {"CLS-is1001", more(11, 12), {}, {}}},
        {"the price quoted", {}, Line(9, "\"12,800\""), {}},
        {"trailing empty values", QStringLiteral(",,"), Line() + ", ,\"\",", {}},
        {"a value under a header's trailing comma",
         QStringLiteral(",,"),
         Line() + ",x",
         {"CLS-is1001", more(11, 12), {}, {}}},
        {"a value under a twelfth name", QStringLiteral(",備考"), Line() + ",x", {}},
        {"a value past it", QStringLiteral(",備考"), Line() + ",x,,y", {"CLS-is1001", more(12, 14), {}, {}}},
        {"a lead byte before DEL",
         {},
         Line(11, ToCp932(QStringLiteral("北斗")) + "\x81\x7F"),
         {"CLS-is1004", undecodable("81"), "販売先", QStringLiteral("北斗\uFFFD\x7F")}},
        {"an unassigned pair in the kind",
         {},
         Line(2, "\x85\x40"),
         {"CLS-is1001", undecodable("85"), "種別", QStringLiteral("\uFFFD@")}},
        {"code page 932's own characters", {}, Line(11, ToCp932(QStringLiteral("①㈱Ⅰ髙ﾊﾝｶｸ"))), {}},
        {"ESC in the maker", {}, Line(3, "\x1b[31m"), {"CLS-is1003", control("001B"), "メーカー", "\x1b[31m"}},
        {"NUL in the name",
         {},
         Line(11, QByteArray("a\0b", 3)),
         {"CLS-is1004", control("0000"), "販売先", QString::fromUtf16(u"a\0b", 3)}},
        {"DEL in the date", {}, Line(1, "2024/4/1\x7f"), {"CLS-is1002", control("007F"), "日付", "2024/4/1\x7f"}},
        {"a tab", {}, Line(5, "a\tb"), {}},
        {"a cell written with Alt+Enter", {}, Line(7, ToCp932(QStringLiteral("\"A4\n方眼\""))), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Import(kSalesHeader + c.headerTail, {c.line});
        if (c.reason.strCode.isEmpty()) {
            EXPECT_EQ(desktop.prompts(), QStringList{Totals(1, 1)});
            continue;
        }
        EXPECT_EQ(desktop.prompts(), (QStringList{Report(c.reason.strCode, c.reason.strText), Totals(1, 0)}));
        EXPECT_EQ(log->calls, QStringList{QStringLiteral("OpenConnection:") + kConnection});
        ASSERT_EQ(log->rejected.size(), 1u);
        ASSERT_EQ(log->rejected[0].reasons.size(), 1u);
        const LineReason& reason = log->rejected[0].reasons[0];
        EXPECT_EQ((QStringList{reason.strCode, reason.strText, reason.strColumn, reason.strValue}),
                  (QStringList{c.reason.strCode, c.reason.strText, c.reason.strColumn, c.reason.strValue}));
        // Kept as text the ledger can hold.
        EXPECT_EQ(IndexOfUndecodable(log->rejected[0].strRecord), -1);
    }
}

// A blank party repeats the last one, also one of a line refused for its
// date; when the last one could not be read there is none to repeat, until
// a line names its party again.
TEST_F(LineRefusal, ABlankPartyAfterOneThatCouldNotBeReadIsRefusedToo)
{
    Import(kSalesHeader, {Line(), Line(10, "x,y,z"), Line(11, ""), Line(11, "A"), Line(11, ""), Line(1, "x"),
                          Line(11, ""), Line(11, "\x81\x7F"), Line(11, "")});
    QStringList parties;
    for (const StoreLog::Insert& insert : log->inserts)
        parties << insert.customer.strPartyName;
    EXPECT_EQ(parties, (QStringList{"北山商店", "A", "A", "北山商店"}));
    std::vector<int64_t> refused;
    for (const RejectedLine& rejected : log->rejected)
        refused.push_back(rejected.lngLineNumber);
    EXPECT_EQ(refused, (std::vector<int64_t>{3, 4, 7, 9, 10}));
    const LineReason& carried = log->rejected[1].reasons.at(0);
    EXPECT_EQ((QStringList{carried.strCode, carried.strColumn, carried.strText}),
              (QStringList{"CLS-is1004", "販売先", "前の行の販売先を読み取れなかったため、引き継げません。"}));
}

}  // namespace
