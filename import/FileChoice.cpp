#include "FileChoice.h"

#include "Desktop.h"
#include "RuntimeError.h"
#include "workbook/Workbook.h"

#include <QDir>

namespace {

const QString kFileSelectionError = QStringLiteral("ファイル選択エラー");

// Entry `index` (1-based) of a file list; asking past its end is an error.
QString FileListEntry(const QStringList& files, qsizetype index)
{
    if (index < 1 || index > files.size())
        throw RuntimeError(ERR_BAD_CALL);
    return files.at(index - 1);
}

// An unreadable current directory (removed under the process) would turn
// the data source into /Data at the file system's root.
QString CurrentDirectory()
{
    const QString directory = QDir::currentPath();
    if (directory.isEmpty())
        throw RuntimeError(ERR_PATH_NOT_FOUND);
    return directory;
}

// A connection string value a reader takes back exactly.
QString ConnectionValue(const QString& value)
{
    const bool plain = !value.isEmpty() && !value.contains(u';') && value.front() != u'"' && value.front() != u'\''
                       && !value.front().isSpace() && !value.back().isSpace();
    if (plain)
        return value;
    return u'"' + QString(value).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

}  // namespace

bool EndsInCsv(const QString& path) { return path.right(3).toUpper() == QStringLiteral("CSV"); }

bool IsImportFilePath(const QString& path) { return EndsInCsv(path) || IsWorkbookPath(path); }

std::optional<QString> ChooseImportFile(Desktop& desktop, const QStringList& files)
{
    if (files.size() > 1) {
        desktop.MsgBox(QStringLiteral("一度に複数のファイルを取り込むことは出来ません。"),
                       MB_ICONINFORMATION | MB_SYSTEMMODAL, kFileSelectionError);
        return std::nullopt;
    }
    QString path = FileListEntry(files, 1);
    if (!IsImportFilePath(path)) {
        desktop.MsgBox(
            QStringLiteral("CSVファイルか、Excel・LibreOffice のブック（.xlsx・.xlsm・.xls・.ods）を選択して下さい。"),
            MB_ICONINFORMATION | MB_SYSTEMMODAL, kFileSelectionError);
        return std::nullopt;
    }
    return path;
}

QString LedgerFilePath() { return CurrentDirectory() + QStringLiteral("/Data/iOrvanta.mdb"); }

QString LedgerConnectionString() { return LedgerConnectionStringIn(CurrentDirectory()); }

QString LedgerConnectionStringIn(const QString& strDirectory)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;") + QStringLiteral("Data Source=")
           + ConnectionValue(strDirectory + QStringLiteral("/Data/iOrvanta.mdb"));
}
