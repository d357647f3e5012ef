#include "EscapedText.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

TEST(EscapedText, ControlCharactersAndLineSeparatorsBecomeEscapesAndNothingElseChanges)
{
    struct Case {
        QString text;
        QString escaped;
    };
    const Case cases[] = {
        {QStringLiteral("北斗商事 sales.csv"), QStringLiteral("北斗商事 sales.csv")},
        {QStringLiteral("C:\\new\\x1b"), QStringLiteral("C:\\new\\x1b")},
        {QStringLiteral("evil\nMoraImport: forged.csv"), QStringLiteral("evil\\nMoraImport: forged.csv")},
        {QStringLiteral("a\r\nb\tc"), QStringLiteral("a\\r\\nb\\tc")},
        {QStringLiteral("\x1b[2J\x1b]0;title\x07"), QStringLiteral("\\x1b[2J\\x1b]0;title\\x07")},
        {QString(QChar(0)) + QStringLiteral("x\x01\x7f"), QStringLiteral("\\x00x\\x01\\x7f")},
        {QStringLiteral("\u0085\u009b\u00a0"), QStringLiteral("\\x85\\x9b\u00a0")},
        {QStringLiteral("a\u2028b\u2029"), QStringLiteral("a\\u2028b\\u2029")},
        {QString(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.escaped.toStdString());
        EXPECT_EQ(EscapeControlCharacters(c.text), c.escaped);
    }
}

}  // namespace
