#include "PatternCommands.h"

#include "EscapedText.h"
#include "ImportPattern.h"
#include "PatternFile.h"
#include "TabSeparated.h"

#include <QFile>

#include <optional>

namespace {

void WriteText(std::ostream& stream, const QByteArray& bytes)
{
    stream.write(bytes.constData(), bytes.size());
    stream.flush();
}

void WriteError(std::ostream& err, const QString& message)
{
    WriteText(err, QStringLiteral("MoraImport: %1\n").arg(EscapeControlCharacters(message)).toUtf8());
}

QString Missing(const QString& strName) { return QStringLiteral("取込パターン「%1」はありません。").arg(strName); }

// Runs body on the patterns; a ledger that cannot answer is told on err.
template <typename Body>
ExitStatus WithPatterns(const LedgerPatternsFactory& openPatterns, const QString& strConnection, bool blnToWrite,
                        std::ostream& err, Body&& body)
{
    try {
        std::unique_ptr<clsLedgerPatterns> patterns = openPatterns(strConnection, blnToWrite);
        return body(*patterns);
    } catch (const std::exception& error) {
        WriteError(err, QString::fromUtf8(error.what()));
        return ExitStatus::Failed;
    }
}

}  // namespace

ExitStatus WritePatterns(const LedgerPatternsFactory& openPatterns, const QString& strConnection, std::ostream& out,
                         std::ostream& err)
{
    return WithPatterns(openPatterns, strConnection, false, err, [&](clsLedgerPatterns& patterns) {
        QString text;
        for (const ImportPattern& pattern : patterns.Patterns()) {
            QStringList headers;
            for (const QString& header : PatternHeaderTexts(pattern))
                headers << TsvField(header);
            text += QStringLiteral("%1\t%2\t%3\n")
                        .arg(TsvField(pattern.strName),
                             pattern.blnPurchase ? QStringLiteral("purchase") : QStringLiteral("sales"),
                             headers.join(u','));
        }
        WriteText(out, text.toUtf8());
        return ExitStatus::Ok;
    });
}

ExitStatus SavePatternFile(const LedgerPatternsFactory& openPatterns, const QString& strConnection,
                           const QString& strPatternFile, std::ostream& out, std::ostream& err)
{
    QFile file(strPatternFile);
    // A pattern file is a few hundred bytes; a megabyte is none.
    constexpr qint64 kLargestPatternFile = 1 << 20;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestPatternFile) {
        WriteError(err, QStringLiteral("取込パターンのファイルを読めません: %1").arg(strPatternFile));
        return ExitStatus::Failed;
    }
    std::variant<ImportPattern, QString> read = ReadPatternFile(file.read(kLargestPatternFile));
    if (const QString* problem = std::get_if<QString>(&read)) {
        WriteError(err, QStringLiteral("%1: %2").arg(strPatternFile, *problem));
        return ExitStatus::Failed;
    }
    const ImportPattern& pattern = std::get<ImportPattern>(read);
    return WithPatterns(openPatterns, strConnection, true, err, [&](clsLedgerPatterns& patterns) {
        patterns.SavePattern(pattern);
        WriteText(out, QStringLiteral("取込パターン「%1」を保存しました。\n")
                           .arg(EscapeControlCharacters(pattern.strName))
                           .toUtf8());
        return ExitStatus::Ok;
    });
}

ExitStatus ExportPattern(const LedgerPatternsFactory& openPatterns, const QString& strConnection,
                         const QString& strName, std::ostream& out, std::ostream& err)
{
    const std::optional<ImportPattern> pattern = FindPattern(openPatterns, strConnection, strName, err);
    if (!pattern)
        return ExitStatus::Failed;
    WriteText(out, WritePatternFile(*pattern));
    return ExitStatus::Ok;
}

ExitStatus DeletePattern(const LedgerPatternsFactory& openPatterns, const QString& strConnection,
                         const QString& strName, std::ostream& out, std::ostream& err)
{
    return WithPatterns(openPatterns, strConnection, true, err, [&](clsLedgerPatterns& patterns) {
        if (!patterns.DeletePattern(strName)) {
            WriteError(err, Missing(strName));
            return ExitStatus::Failed;
        }
        WriteText(
            out, QStringLiteral("取込パターン「%1」を削除しました。\n").arg(EscapeControlCharacters(strName)).toUtf8());
        return ExitStatus::Ok;
    });
}

std::optional<ImportPattern> FindPattern(const LedgerPatternsFactory& openPatterns, const QString& strConnection,
                                         const QString& strName, std::ostream& err)
{
    std::optional<ImportPattern> found;
    WithPatterns(openPatterns, strConnection, false, err, [&](clsLedgerPatterns& patterns) {
        for (ImportPattern& pattern : patterns.Patterns()) {
            if (pattern.strName == strName)
                found = std::move(pattern);
        }
        if (!found)
            WriteError(err, Missing(strName));
        return ExitStatus::Ok;
    });
    return found;
}
