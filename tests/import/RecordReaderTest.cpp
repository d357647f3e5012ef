#include "RecordReader.h"
#include "QtPrinters.h"
#include "RuntimeError.h"
#include "TestFiles.h"
#include "TextFile.h"

#include <QByteArray>
#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Every record as "line: text", or "line: error n" for a read that raised.
QStringList ReadAllRecords(const QString& path, qsizetype bufferBytes, int64_t skippedLines = 0)
{
    FileSystemObject fso(bufferBytes);
    auto stream = fso.OpenTextFile(path);
    for (int64_t line = 0; line < skippedLines; ++line)
        stream->ReadLine();
    RecordReader reader(*stream, skippedLines + 1);
    QStringList records;
    while (!reader.AtEndOfStream()) {
        try {
            const QString record = reader.ReadRecord();
            records << QStringLiteral("%1: %2").arg(reader.RecordLineNumber()).arg(record);
        } catch (const RuntimeError& error) {
            records << QStringLiteral("%1: error %2").arg(reader.RecordLineNumber()).arg(error.number());
        }
    }
    return records;
}

// Buffers of one and three bytes cut every break and pair; the default one cuts none.
const std::vector<qsizetype> kBufferSizes = {1, 3, FileSystemObject::kDefaultBufferBytes};

struct Case {
    const char* name;
    QByteArray file;
    QStringList records;
};

void ExpectRecords(const std::vector<Case>& cases, const std::vector<qsizetype>& bufferSizes = kBufferSizes)
{
    ScratchDir dir;
    for (const Case& c : cases) {
        const QString path = dir.write(QStringLiteral("records.csv"), c.file);
        for (const qsizetype bufferBytes : bufferSizes)
            EXPECT_EQ(ReadAllRecords(path, bufferBytes), c.records) << c.name << ", buffer " << bufferBytes;
    }
}

TEST(RecordReader, AQuotedValueRunsAcrossLineBreaksAsOneRecord)
{
    ExpectRecords({
        {"plain lines", "a,b\r\n\r\nc,d\r\n", {"1: a,b", "2: ", "3: c,d"}},
        {"spreadsheet cell with Alt+Enter",
         "h\r\n1,\"14型\nCore i5\",x\r\n2,y\r\n",
         {"1: h", "2: 1,\"14型\nCore i5\",x", "4: 2,y"}},
        {"CR LF inside the value", "\"a\r\nb\",c\r\nd", {"1: \"a\nb\",c", "3: d"}},
        {"several breaks of every kind", "\"a\nb\r\nc\rd\",e\nf", {"1: \"a\nb\nc\nd\",e", "5: f"}},
        {"empty lines inside the value", "\"a\r\n\r\n\r\nb\",c\r\nd\r\n", {"1: \"a\n\n\nb\",c", "5: d"}},
        {"two values each across a break", "\"a\nb\",\"c\nd\"\n", {"1: \"a\nb\",\"c\nd\""}},
        {"a break just before the closing quote", "x,\"a\r\n\"\r\ny", {"1: x,\"a\n\"", "3: y"}},
        {"the header as well", "\"日\n付\",種別\r\n1,2\r\n", {"1: \"日\n付\",種別", "3: 1,2"}},
    });
}

TEST(RecordReader, QuotesCountOnlyAsTheFieldSplitterReadsThem)
{
    ExpectRecords({
        {"doubled quote at a line's end stays inside", "\"a\"\"\r\nb\"\r\nc", {"1: \"a\"\"\nb\"", "3: c"}},
        {"doubled quotes around a break",
         "\"say \"\"hi\r\nthere\"\"\",x\r\ny",
         {"1: \"say \"\"hi\nthere\"\"\",x", "3: y"}},
        {"an empty quoted value is closed", "a,\"\"\r\nb", {"1: a,\"\"", "2: b"}},
        {"a quote inside a field", "a,b\"c\r\nd\"", {"1: a,b\"c", "2: d\""}},
        {"a quote after a space", " \"x\r\ny", {"1:  \"x", "2: y"}},
        {"a quote after the closing quote", "\"a\"b\"c\r\nd", {"1: \"a\"b\"c", "2: d"}},
        {"a quote opening the next field", "\"a\",\"b\r\nc\"", {"1: \"a\",\"b\nc\""}},
    });
}

TEST(RecordReader, AQuoteUnclosedAtTheEndRefusesOnlyItsFirstLine)
{
    ExpectRecords({
        {"unclosed at the end", "h\r\n\"open,1\r\n2,x\r\n3,y\r\n", {"1: h", "2: \"open,1", "3: 2,x", "4: 3,y"}},
        {"unclosed in the last line", "a\r\nb,\"c", {"1: a", "2: b,\"c"}},
        // A line read again that leaves a quote open is unclosed as well.
        {"lines read again open quotes too", "\"a\r\nx\",\",y\r\nz", {"1: \"a", "2: x\",\",y", "3: z"}},
        {"a lone quote", "\"\r\n\"\"\r\n", {"1: \"", "2: \"\""}},
    });
}

TEST(RecordReader, LineNumbersContinueFromTheGivenFirstLine)
{
    ScratchDir dir;
    const QString path = dir.write(QStringLiteral("numbered.csv"), "h\r\n\"a\nb\"\r\nc\r\n\"d\r\ne");
    EXPECT_EQ(ReadAllRecords(path, 4, 1), (QStringList{"2: \"a\nb\"", "4: c", "5: \"d", "6: e"}));

    FileSystemObject fso;
    auto stream = fso.OpenTextFile(path);
    const int64_t beyond16And32Bits = int64_t(1) << 40;
    RecordReader reader(*stream, beyond16And32Bits);
    reader.ReadRecord();
    reader.ReadRecord();
    EXPECT_EQ(reader.ReadRecord(), "c");
    EXPECT_EQ(reader.RecordLineNumber(), beyond16And32Bits + 3);
}

TEST(RecordReader, CodePage932FileWithACellOfTwoLines)
{
    ScratchDir dir;
    const QString path = dir.writeCp932(QStringLiteral("excel.csv"),
                                        QStringLiteral("型式,仕様\r\nNB-1,\"14型\nCore i5\"\r\nNB-2,15型\r\n"));
    EXPECT_EQ(ReadAllRecords(path, 5),
              (QStringList{QStringLiteral("1: 型式,仕様"), QStringLiteral("2: NB-1,\"14型\nCore i5\""),
                           QStringLiteral("4: NB-2,15型")}));
}

TEST(RecordReader, ReadingPastTheLastRecordRaisesError62)
{
    ScratchDir dir;
    FileSystemObject fso;
    auto stream = fso.OpenTextFile(dir.write(QStringLiteral("one.csv"), "\"a\r\nb"));
    RecordReader reader(*stream);
    EXPECT_EQ(reader.ReadRecord(), "\"a");
    EXPECT_FALSE(reader.AtEndOfStream());  // the line held to be read again
    EXPECT_EQ(reader.ReadRecord(), "b");
    EXPECT_TRUE(reader.AtEndOfStream());
    try {
        reader.ReadRecord();
        ADD_FAILURE() << "read past the end";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), ERR_INPUT_PAST_END);
    }
}

// Bounds are the same for records as for lines. These files are a few MiB:
// buffers of a few bytes would take seconds.
constexpr qsizetype kBound = RecordReader::kLongestRecord;
const std::vector<qsizetype> kLargeFileBuffers = {4093, FileSystemObject::kDefaultBufferBytes};

TEST(RecordReaderBound, ARecordMayReachTheBoundButNotPassIt)
{
    // "\"", the filler, "\n", then "z\"": the record's size is filler + 4.
    const auto recordOfSize = [](qsizetype size) { return "\"" + QByteArray(size - 4, 'x') + "\r\nz\"\r\nnext"; };
    ScratchDir dir;
    const QStringList atBound = ReadAllRecords(dir.write(QStringLiteral("at.csv"), recordOfSize(kBound)), 4096);
    ASSERT_EQ(atBound.size(), 2);
    EXPECT_EQ(atBound[0].size(), 3 + kBound);  // "1: " and the record
    EXPECT_EQ(atBound[1], "3: next");

    const QStringList beyond = ReadAllRecords(dir.write(QStringLiteral("beyond.csv"), recordOfSize(kBound + 1)), 4096);
    ASSERT_EQ(beyond.size(), 3);
    EXPECT_EQ(beyond[0].size(), 3 + kBound + 1 - 3);  // the first line alone
    EXPECT_EQ(beyond[1], "2: z\"");
    EXPECT_EQ(beyond[2], "3: next");
}

TEST(RecordReaderBound, LinesAfterARefusedFirstLineAreRecordsOfTheirOwn)
{
    const QByteArray half(kBound / 2, 'x');
    // The record from line 1 passes the bound; the one from line 2 reaches it exactly.
    const QByteArray filler(kBound - 11, 'f');
    const QByteArray nearlyBound = "\"" + QByteArray(kBound - 3, 'a');
    ExpectRecords(
        {
            {"no quote after the open one",
             "\"open\r\n" + half + "\r\n" + half + "\r\nclose\"\r\nnext",
             {"1: \"open", "2: " + half, "3: " + half, "4: close\"", "5: next"}},
            {"a line read again closes at the bound",
             "\"" + QByteArray(1000, 'a') + "\r\nx\",\",y\r\n" + filler + "\r\nz\"\r\nw",
             {"1: \"" + QByteArray(1000, 'a'), "2: x\",\",y\n" + filler + "\nz\"", "5: w"}},
            // The third quote of """ closes the open value past the bound; read
            // again, """ opens a value of its own.
            {"the closing line read again opens a value",
             nearlyBound + "\r\n\"\"\"\r\nb\"\r\nc",
             {"1: " + nearlyBound, "2: \"\"\"\nb\"", "4: c"}},
        },
        kLargeFileBuffers);
}

TEST(RecordReaderBound, AnOverlongLineInsideAQuotedValueIsRefusedAtItsOwnTurn)
{
    // The quote cannot close within the bound: its first line is refused and
    // the lines after it read again, the overlong one raising as it would alone.
    const QByteArray overlong(TextStream::kLongestLineBytes + 10, ',');
    ExpectRecords(
        {
            {"inside", "\"a\r\n" + overlong + "\r\nb\"\r\nc", {"1: \"a", "2: error 6", "3: b\"", "4: c"}},
            {"alone", "a\r\n" + overlong + "\r\n\"b\nc\"", {"1: a", "2: error 6", "3: \"b\nc\""}},
        },
        kLargeFileBuffers);
}

}  // namespace
