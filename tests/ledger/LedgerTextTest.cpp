#include "ConnectionString.h"
#include "LedgerDate.h"

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
    EXPECT_EQ(PathOf(QStringLiteral("Data Source=/root//Data/iOrvanta.mdb")), QStringLiteral("/root//Data/iOrvanta.mdb"));
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
    for (const double value : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), 1e300, -657435.0, 2958466.0,
                               2958465.0 + 86399.9 / 86400.0})
        EXPECT_EQ(Date(value), "none") << value;
}
