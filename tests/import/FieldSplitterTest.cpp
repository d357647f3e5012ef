#include "FieldSplitter.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

struct Split {
    QStringList fields;
    int error = 0;  // run-time error raised after the fields above
};

Split SplitAll(const QString& line)
{
    Split result;
    try {
        SplitFields(line, [&](int16_t column, QStringView field) {
            EXPECT_EQ(column, result.fields.size() + 1);
            result.fields << field.toString();
            return true;
        });
    } catch (const RuntimeError& error) {
        result.error = error.number();
    }
    return result;
}

QStringList Fields(const QString& line)
{
    const Split split = SplitAll(line);
    EXPECT_EQ(split.error, 0) << line.toStdString();
    return split.fields;
}

TEST(FieldSplitting, CutsAtEveryPlainComma)
{
    EXPECT_EQ(Fields(""), QStringList{""});
    EXPECT_EQ(Fields(","), (QStringList{"", ""}));
    EXPECT_EQ(Fields("a,,b,"), (QStringList{"a", "", "b", ""}));
    EXPECT_EQ(Fields(" a , b "), (QStringList{" a ", " b "}));
    EXPECT_EQ(Fields(QStringLiteral("東京，大阪,京都")),
              (QStringList{QStringLiteral("東京，大阪"), QStringLiteral("京都")}));
    EXPECT_EQ(Fields("1,2,3,4,5,6,7,8,9,10,11,").size(), 12);
}

TEST(FieldSplitting, QuotedFieldsFollowTheCommonCsvRules)
{
    EXPECT_EQ(Fields("\"x,y\",z"), (QStringList{"x,y", "z"}));
    EXPECT_EQ(Fields("\"x\"\"y\""), QStringList{"x\"y"});
    EXPECT_EQ(Fields("\"\""), QStringList{""});
    EXPECT_EQ(Fields("\"\",\"\""), (QStringList{"", ""}));
    EXPECT_EQ(Fields("\"x\"y,z"), (QStringList{"xy", "z"}));
    EXPECT_EQ(Fields("\"\"\"\""), QStringList{"\""});
    EXPECT_EQ(Fields("a,\"b\nc\",d"), (QStringList{"a", "b\nc", "d"}));
}

TEST(FieldSplitting, QuotesThatDoNotOpenAFieldStay)
{
    EXPECT_EQ(Fields(" \"x\",y\""), (QStringList{" \"x\"", "y\""}));
    EXPECT_EQ(Fields("xy\",z"), (QStringList{"xy\"", "z"}));
}

TEST(FieldSplitting, AnUnclosedQuoteIsAnInvalidArgumentAfterTheFieldsBeforeIt)
{
    for (const QString& line : {QStringLiteral("a,b,\"xyz"), QStringLiteral("a,b,\""), QStringLiteral("a,b,\"x\"\"")}) {
        const Split split = SplitAll(line);
        EXPECT_EQ(split.error, ERR_BAD_CALL) << line.toStdString();
        EXPECT_EQ(split.fields, (QStringList{"a", "b"}));
    }
}

TEST(FieldSplitting, SixteenBitPositionsLimitTheLineLength)
{
    const QString longest = QString(32764, u'x') + ",y";  // 32766 characters
    const Split atLimit = SplitAll(longest);
    EXPECT_EQ(atLimit.error, ERR_OVERFLOW);
    EXPECT_EQ(atLimit.fields.size(), 2);  // all fields delivered first

    EXPECT_EQ(SplitAll(QString(32765, u'x')).error, 0);

    const Split tooLong = SplitAll(QString(32767, u','));
    EXPECT_EQ(tooLong.error, ERR_OVERFLOW);
    EXPECT_TRUE(tooLong.fields.isEmpty());
}

TEST(FieldSplitting, StoppingEarlyLooksAtNoFurtherField)
{
    QStringList seen;
    SplitFields(QStringLiteral("a,b,\"unclosed"), [&](int16_t, QStringView field) {
        seen << field.toString();
        return seen.size() < 2;
    });
    EXPECT_EQ(seen, (QStringList{"a", "b"}));
}

// The reader decides where a record ends by this scan: it must find a quote
// open exactly where the splitter finds no closing quote.
TEST(QuoteScan, EndsInsideQuotesExactlyWhereTheSplitterFindsNoClosingQuote)
{
    const struct {
        const char* line;
        bool open;
    } cases[] = {
        {"", false},          {"a,b", false},        {"\"", true},
        {"\"\"", false},      {"\"\"\"", true},      {"\"\"\"\"", false},
        {"a,\"b", true},      {"a,\"b\"", false},    {"\"x\"\"", true},
        {"\"x\"\",", true},   {"\"x,y", true},       {"\"x\",\"y", true},
        {"\"x\"y\"z", false}, {"\"x\"y,\"z", true},  {"x\"", false},
        {" \"x", false},      {"x\",\",y", true},    {"a,\"\",\"", true},
        {",\"", true},        {"\"a\nb\",c", false}, {"\"\"\"a\"\"\"", false},
        {",,\"\"\"", true},
    };
    for (const auto& c : cases) {
        const QString line = QString::fromUtf8(c.line);
        EXPECT_EQ(EndsInsideQuotes(line), c.open) << c.line;
        EXPECT_EQ(SplitAll(line).error == ERR_BAD_CALL, c.open) << c.line;
    }
}

TEST(QuoteScan, ScanningInPiecesEndsWhereScanningTheWholeEnds)
{
    for (const QString& text : {QStringLiteral("a,\"b\"\"c\",\"d\"e\"f,\"\""), QStringLiteral("\"x\",\",y\"\"\"z"),
                                QStringLiteral(",,\"a\nb\"\",c")}) {
        for (qsizetype cut = 0; cut <= text.size(); ++cut) {
            const QuoteScan first = ScanQuotes(QStringView(text).first(cut));
            EXPECT_EQ(ScanQuotes(QStringView(text).sliced(cut), first), ScanQuotes(text))
                << text.toStdString() << " cut at " << cut;
        }
    }
}

}  // namespace
