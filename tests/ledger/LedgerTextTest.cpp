#include "ConnectionString.h"
#include "LedgerDate.h"
#include "LedgerNames.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

QString PathOf(const QString& connection)
{
    const DataSourceResult result = DataSourceOf(connection);
    return result.error.isEmpty() ? result.path : QStringLiteral("ERROR");
}

std::string Date(double value)
{
    char buffer[kLedgerDateBufferSize];
    const std::size_t length = FormatLedgerDate(value, buffer);
    return length == 0 ? std::string("none") : std::string(buffer, length);
}

}  // namespace

TEST(LedgerConnectionString, FindsTheDataSourceWhateverTheKeysCaseAndSpaces)
{
    EXPECT_EQ(PathOf(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/tmp/Data/iOrvanta.mdb")),
              QStringLiteral("/tmp/Data/iOrvanta.mdb"));
    EXPECT_EQ(PathOf(QStringLiteral("  data SOURCE = /a/b.mdb ; provider=x;")), QStringLiteral("/a/b.mdb"));
    EXPECT_EQ(PathOf(QStringLiteral("Data Source=/root//Data/iOrvanta.mdb")),
              QStringLiteral("/root//Data/iOrvanta.mdb"));
    EXPECT_EQ(PathOf(QStringLiteral("Data Source=/日本語/台帳.mdb")), QStringLiteral("/日本語/台帳.mdb"));
}

TEST(LedgerConnectionString, QuotedValuesMayHoldSeparators)
{
    EXPECT_EQ(PathOf(QStringLiteral("Data Source=\"/a;b/c.mdb\";Provider=x")), QStringLiteral("/a;b/c.mdb"));
    EXPECT_EQ(PathOf(QStringLiteral("Data Source='/it''s.mdb'")), QStringLiteral("/it's.mdb"));
}

TEST(LedgerConnectionString, RefusesStringsThatNameNoSingleFile)
{
    for (const char* text : {"", "Provider=Microsoft.Jet.OLEDB.4.0;", "Data Source=", "Data Source=   ;",
                             "DataSource=/a.mdb", "Data Source", "=x;Data Source=/a.mdb", "Provider;Data Source=/a",
                             "Data Source=\"/a.mdb", "Data Source=\"/a\"b", "Data Source=/a;data source=/b"}) {
        const DataSourceResult result = DataSourceOf(QString::fromUtf8(text));
        EXPECT_FALSE(result.error.isEmpty()) << text;
        EXPECT_TRUE(result.path.isEmpty()) << text;
    }
}

TEST(LedgerDateText, WritesTheDayAloneOrWithItsTimeRoundedToTheSecond)
{
    EXPECT_EQ(Date(45296.0), "2024-01-05");
    EXPECT_EQ(Date(45296.0 + (9 * 3600 + 30 * 60 + 15) / 86400.0), "2024-01-05 09:30:15");
    EXPECT_EQ(Date(60.0), "1900-02-28");
    EXPECT_EQ(Date(61.0), "1900-03-01");
    EXPECT_EQ(Date(45351.0), "2024-02-29");
    EXPECT_EQ(Date(-657434.0), "0100-01-01");
    EXPECT_EQ(Date(2958465.0), "9999-12-31");
    EXPECT_EQ(Date(45296.0 + 0.4 / 86400.0), "2024-01-05");
    EXPECT_EQ(Date(45296.0 + 0.6 / 86400.0), "2024-01-05 00:00:01");
    EXPECT_EQ(Date(45296.0 + 86399.7 / 86400.0), "2024-01-06");
    // Before the epoch the time of day counts in magnitude.
    EXPECT_EQ(Date(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(Date(-0.5), "1899-12-30 12:00:00");
    EXPECT_EQ(Date(-36522.0), "1800-01-01");
    EXPECT_EQ(Date(-1.0 - 86399.7 / 86400.0), "1899-12-30");
}

TEST(LedgerDateText, RefusesWhatIsNoDate)
{
    for (const double value :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), 1e300, -657435.0, 2958466.0, 2958465.0 + 86399.9 / 86400.0})
        EXPECT_EQ(Date(value), "none") << value;
}

// Code page 932 and UTF-8 texts write these signs as different characters
// (a file saved either way from the same sheet): each pair is one key,
// whatever NFKC makes of either, and the sign itself still counts.
TEST(LedgerNameKey, EachSignCodePage932AndUtf8WriteApartGivesOneKey)
{
    const struct {
        const char* what;
        char16_t cp932;
        char16_t utf8;
    } twins[] = {
        {"wave dash", 0xFF5E, 0x301C}, {"minus", 0xFF0D, 0x2212}, {"double vertical line", 0x2225, 0x2016},
        {"dash", 0x2015, 0x2014},      {"cent", 0xFFE0, 0x00A2},  {"pound", 0xFFE1, 0x00A3},
        {"not", 0xFFE2, 0x00AC},
    };
    for (const auto& twin : twins) {
        SCOPED_TRACE(twin.what);
        const QString cp932 = QStringLiteral("ACアダプター 100") + QChar(twin.cp932) + QStringLiteral("240V");
        const QString utf8 = QStringLiteral("ACアダプター 100") + QChar(twin.utf8) + QStringLiteral("240V");
        // Both are the one character of code page 932.
        EXPECT_EQ(ToCp932(cp932), ToCp932(utf8));
        EXPECT_EQ(LedgerNames::NameKey(cp932), LedgerNames::NameKey(utf8));
        EXPECT_NE(LedgerNames::NameKey(cp932), LedgerNames::NameKey(QStringLiteral("ACアダプター 100240V")));
    }
}

// The store keeps each name's key: the same key as computed afresh, and a
// name's length limit counted in UTF-8 as the database stores it.
TEST(LedgerNameKey, KeptKeysAreTheComputedOnesAndLengthsCountUtf8)
{
    LedgerNames names;
    for (const QString& name :
         {QStringLiteral("ＡＢＣ商事"), QStringLiteral("㈱北山"), QStringLiteral("ﾉｰﾄ 〜"), QStringLiteral("𠮷野家")}) {
        const QString& kept = names.keyOf(name);
        EXPECT_EQ(kept, LedgerNames::NameKey(name));
        EXPECT_EQ(&names.keyOf(name), &kept);  // met again: looked up, not computed
    }
    const qsizetype longest = LedgerNames::kLongestName;
    const struct {
        QString name;
        bool storable;
    } cases[] = {
        {QString(longest, u'a'), true},
        {QString(longest + 1, u'a'), false},
        {QString(longest / 3, QChar(0x5317)), true},  // 北: three bytes each
        {QString(longest / 3 + 1, QChar(0x5317)), false},
        {QString(longest / 4, u'x').replace(u'x', QStringLiteral("𠮷")), true},  // four bytes, two units
    };
    for (const auto& c : cases) {
        const MasterRow row{c.name, {}};
        EXPECT_EQ(names.unstorable(MasterTable::Products, row).isEmpty(), c.storable) << c.name.size();
        EXPECT_EQ(LedgerNames::Unstorable(MasterTable::Products, row).isEmpty(), c.storable);
    }
}
