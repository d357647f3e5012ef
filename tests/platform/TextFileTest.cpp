#include "TextFile.h"
#include "RuntimeError.h"
#include "TestFiles.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList ReadAllLines(const QString& path, qsizetype bufferBytes = FileSystemObject::kDefaultBufferBytes)
{
    FileSystemObject fso(bufferBytes);
    auto stream = fso.OpenTextFile(path, ForReading, false, TristateUseDefault);
    QStringList lines;
    while (!stream->AtEndOfStream())
        lines << stream->ReadLine();
    stream->Close();
    return lines;
}

int OpenError(const QString& path)
{
    try {
        FileSystemObject().OpenTextFile(path);
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return 0;
}

const QString kJapanese = QStringLiteral("日付,種別,ﾊﾝｶｸ,①,髙橋,～");

TEST(TextFileDecoding, ReadsUtf8WithAndWithoutByteOrderMark)
{
    ScratchDir dir;
    EXPECT_EQ(ReadAllLines(dir.writeUtf8("plain.csv", kJapanese)), QStringList{kJapanese});
    EXPECT_EQ(ReadAllLines(dir.write("bom.csv", "\xEF\xBB\xBF" + kJapanese.toUtf8())), QStringList{kJapanese});
}

TEST(TextFileDecoding, ReadsCodePage932IncludingVendorCharacters)
{
    ScratchDir dir;
    EXPECT_EQ(ReadAllLines(dir.writeCp932("sjis.csv", kJapanese)), QStringList{kJapanese});
}

// The mark of an undecodable byte.
QString Mark(unsigned char byte) { return QString(QChar(char16_t(kUndecodableBase + byte))); }

TEST(TextFileDecoding, MarksUndecodableBytesWithoutLosingLineBreaks)
{
    ScratchDir dir;
    // 0x81 needs a trail byte; before a line break it must not swallow it.
    const QByteArray bytes = ToCp932(QStringLiteral("価格")) + "\x81\r\nA\xFF" + "B\n";
    EXPECT_EQ(ReadAllLines(dir.write("bad.csv", bytes)),
              (QStringList{QStringLiteral("価格") + Mark(0x81), u'A' + Mark(0xFF) + u'B'}));
}

// Only bytes the encoding cannot read are marked: code page 932's own
// extensions decode, and a U+FFFD written in UTF-8 is a character like any.
TEST(TextFileDecoding, MarksExactlyTheBytesThatDoNotDecode)
{
    const QByteArray extensions = ToCp932(QStringLiteral("①㈱Ⅰ髙ﾊﾝｶｸ"));
    const std::pair<QByteArray, QString> cases[] = {
        {extensions, QStringLiteral("①㈱Ⅰ髙ﾊﾝｶｸ")},
        {"a\xEF\xBF\xBD"
         "b",
         QStringLiteral("a\uFFFDb")},
        {extensions + "\x81\x7F\x85\x40", QStringLiteral("①㈱Ⅰ髙ﾊﾝｶｸ") + Mark(0x81) + u'\x7F' + Mark(0x85) + u'@'},
        {"\x80\xA0\xFD", Mark(0x80) + Mark(0xA0) + Mark(0xFD)},
    };
    ScratchDir dir;
    for (const auto& [bytes, line] : cases) {
        SCOPED_TRACE(line.toStdString());
        EXPECT_EQ(ReadAllLines(dir.write("case.csv", bytes)), QStringList{line});
        EXPECT_EQ(DecodesThroughout(dir.path("case.csv")), IndexOfUndecodable(line) < 0);
    }
    EXPECT_EQ(IndexOfUndecodable(cases[2].second), 8);
    EXPECT_EQ(WithUndecodableShown(cases[3].second), QStringLiteral("\uFFFD\uFFFD\uFFFD"));
}

TEST(TextFileDecoding, DecidesTheEncodingFromTheWholeFile)
{
    ScratchDir dir;
    // Valid UTF-8 at first, one CP932 byte pair near the end: the whole file is CP932.
    const QByteArray bytes = QByteArray("abc,def\r\n").repeated(1000) + ToCp932(QStringLiteral("ｱ仕入先"));
    const QStringList lines = ReadAllLines(dir.write("late.csv", bytes));
    ASSERT_EQ(lines.size(), 1001);
    EXPECT_EQ(lines.last(), QStringLiteral("ｱ仕入先"));
}

TEST(TextFileLines, EndAtCrLfLfOrLoneCr)
{
    ScratchDir dir;
    EXPECT_EQ(ReadAllLines(dir.write("mixed.csv", "a\r\nb\nc\rd")), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(ReadAllLines(dir.write("blank.csv", "a\r\n\r\n\nb\r\n")), (QStringList{"a", "", "", "b"}));
    EXPECT_EQ(ReadAllLines(dir.write("trailing.csv", "a\r\n")), QStringList{"a"});
    EXPECT_EQ(ReadAllLines(dir.write("onlybreak.csv", "\r\n")), QStringList{""});
    EXPECT_EQ(ReadAllLines(dir.write("crcrlf.csv", "a\r\r\nb")), (QStringList{"a", "", "b"}));
}

TEST(TextFileLines, ReadingPastTheEndRaisesError62)
{
    ScratchDir dir;
    FileSystemObject fso;
    auto empty = fso.OpenTextFile(dir.write("empty.csv", ""));
    EXPECT_TRUE(empty->AtEndOfStream());
    try {
        empty->ReadLine();
        FAIL() << "read past the end";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), ERR_INPUT_PAST_END);
        EXPECT_EQ(error.description(), QStringLiteral("ファイルにこれ以上データがありません。"));
    }
}

// Every buffer size from 1 to 9 cuts the bytes at every place a sequence,
// a pair or a CR LF can be cut.
void ExpectSameLinesWhateverTheBuffer(const QString& path, const QStringList& expected)
{
    for (qsizetype bufferBytes = 1; bufferBytes <= 9; ++bufferBytes)
        EXPECT_EQ(ReadAllLines(path, bufferBytes), expected) << "buffer of " << bufferBytes << " bytes";
    EXPECT_EQ(ReadAllLines(path), expected);
}

TEST(TextFileBuffers, SequencesPairsAndBreaksCutByTheBufferStayWhole)
{
    ScratchDir dir;
    const QString text = QStringLiteral("日付,ｱ\r\n😀①\r\r\nb\n\nc,髙");
    const QStringList lines{QStringLiteral("日付,ｱ"), QStringLiteral("😀①"), "", "b", "", QStringLiteral("c,髙")};
    ExpectSameLinesWhateverTheBuffer(dir.writeUtf8("utf8.csv", text), lines);
    ExpectSameLinesWhateverTheBuffer(dir.write("bom.csv", "\xEF\xBB\xBF" + text.toUtf8()), lines);

    const QString cp932Text = QStringLiteral("日付,ｱ\r\n①髙\r\r\nb\n\nc,～");
    ExpectSameLinesWhateverTheBuffer(
        dir.writeCp932("sjis.csv", cp932Text),
        {QStringLiteral("日付,ｱ"), QStringLiteral("①髙"), "", "b", "", QStringLiteral("c,～")});
    // A stray lead byte before a break that falls on a buffer's end.
    ExpectSameLinesWhateverTheBuffer(dir.write("stray.csv", "a\x81\r\nb\x81"), {u'a' + Mark(0x81), u'b' + Mark(0x81)});
}

TEST(TextFileBuffers, OnlyMarksAtTheStartOfTheFileAreDropped)
{
    ScratchDir dir;
    const QByteArray mark = "\xEF\xBB\xBF";
    // Two at the start were dropped by the reading this one replaced; one
    // opening a later line is part of it.
    ExpectSameLinesWhateverTheBuffer(dir.write("marks.csv", mark + mark + "a\n" + mark + "b" + mark + "\r"),
                                     {"a", QStringLiteral("\uFEFFb\uFEFF")});
}

TEST(TextFileBuffers, AUtf8SequenceCutOffByTheEndOfTheFileMakesItCodePage932)
{
    ScratchDir dir;
    // Valid up to its last byte, the lead of a two-byte sequence.
    const QByteArray bytes = QStringLiteral("価格\n").toUtf8().repeated(5) + "\xC3";
    const QStringList lines = ReadAllLines(dir.write("cut.csv", bytes), 4);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_NE(lines.first(), QStringLiteral("価格"));
    EXPECT_EQ(lines.last(), QStringLiteral("ﾃ"));  // 0xC3 in code page 932
}

TEST(TextFileBuffers, AnOverlongLineOverflowsWholeAndTheNextLineIsStillRead)
{
    ScratchDir dir;
    // Only commas up to the limit: what is cut away must not make it a line without data.
    const QByteArray longLine = QByteArray(TextStream::kLongestLineBytes, ',') + QByteArray(70000, 'x');
    FileSystemObject fso;
    auto stream = fso.OpenTextFile(dir.write("long.csv", "a\r\n" + longLine + "\r\nb"));
    EXPECT_EQ(stream->ReadLine(), "a");
    try {
        stream->ReadLine();
        ADD_FAILURE() << "an overlong line was read";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), ERR_OVERFLOW);
    }
    EXPECT_EQ(stream->ReadLine(), "b");
    EXPECT_TRUE(stream->AtEndOfStream());
}

TEST(TextFileBuffers, AFileChangedAfterOpeningIsReadAsItIsNow)
{
    ScratchDir dir;
    FileSystemObject fso(4);
    const QString path = dir.writeUtf8("changing.csv", QStringLiteral("日付\r\n数量\r\n"));
    auto stream = fso.OpenTextFile(path);
    // Rewritten in place, shorter and no longer UTF-8: its bytes are marked, not taken for U+FFFD.
    dir.write("changing.csv", ToCp932(QStringLiteral("ｱ\r\nb")) + "\r\n\xEF\xBF\xBD\xE6\x97\r\n");
    EXPECT_EQ(stream->ReadLine(), Mark(0xB1));
    EXPECT_EQ(stream->ReadLine(), "b");
    EXPECT_EQ(stream->ReadLine(), u'\uFFFD' + Mark(0xE6) + Mark(0x97));
    EXPECT_TRUE(stream->AtEndOfStream());

    auto emptied = fso.OpenTextFile(path);
    dir.write("changing.csv", "");
    EXPECT_TRUE(emptied->AtEndOfStream());
}

TEST(TextFileOpening, FailsWithARuntimeErrorForWhatIsNoReadableFile)
{
    ScratchDir dir;
    EXPECT_EQ(OpenError(dir.path("missing.csv")), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenError(dir.path("nofolder/missing.csv")), ERR_PATH_NOT_FOUND);
    EXPECT_EQ(OpenError(dir.root()), ERR_PATH_FILE_ACCESS);
    EXPECT_EQ(OpenError(QString()), ERR_BAD_FILE_NAME);
    EXPECT_EQ(OpenError(QStringLiteral("/dev/null")), ERR_PATH_FILE_ACCESS);
    // Opening a pipe for reading would wait for a writer.
    const QString pipe = dir.path("pipe.csv");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(OpenError(pipe), ERR_PATH_FILE_ACCESS);
    if (geteuid() != 0) {  // root reads anything
        const QString locked = dir.writeUtf8("locked.csv", "x");
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        EXPECT_EQ(OpenError(locked), ERR_PERMISSION_DENIED);
    }
}

}  // namespace
