#include "RuntimeError.h"
#include "TestFiles.h"
#include "TextFile.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QStringList ReadAllLines(const QString& path)
{
    FileSystemObject fso;
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

TEST(TextFileDecoding, ReplacesUndecodableBytesWithoutLosingLineBreaks)
{
    ScratchDir dir;
    // 0x81 needs a trail byte; before a line break it must not swallow it.
    const QByteArray bytes = ToCp932(QStringLiteral("価格")) + "\x81\r\nA\xFF" + "B\n";
    EXPECT_EQ(ReadAllLines(dir.write("bad.csv", bytes)),
              (QStringList{QStringLiteral("価格\uFFFD"), QStringLiteral("A\uFFFDB")}));
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

TEST(TextFileOpening, FailsWithARuntimeErrorForWhatIsNoReadableFile)
{
    ScratchDir dir;
    EXPECT_EQ(OpenError(dir.path("missing.csv")), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenError(dir.path("nofolder/missing.csv")), ERR_PATH_NOT_FOUND);
    EXPECT_EQ(OpenError(dir.root()), ERR_PATH_FILE_ACCESS);
    EXPECT_EQ(OpenError(QString()), ERR_BAD_FILE_NAME);
    EXPECT_EQ(OpenError(QStringLiteral("/dev/null")), ERR_PATH_FILE_ACCESS);
    if (geteuid() != 0) {  // root reads anything
        const QString locked = dir.writeUtf8("locked.csv", "x");
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        EXPECT_EQ(OpenError(locked), ERR_PERMISSION_DENIED);
    }
}

} // namespace
