#include "workbook/Workbook.h"
#include "workbook/WorkbookReaders.h"
#include "workbook/ZipPart.h"

#include <QByteArray>
#include <QFile>

namespace {

const QByteArray kZipStart = QByteArrayLiteral("PK\x03\x04");
const QByteArray kEmptyZipStart = QByteArrayLiteral("PK\x05\x06");
const QByteArray kCompoundFileStart = QByteArrayLiteral("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");

// Excel saves a workbook it encrypts with a password as a compound file
// with this stream, whatever its ending; its name is in UTF-16LE.
bool HoldsEncryptedPackage(QFile& file)
{
    QByteArray name;
    for (const char ch : QByteArrayLiteral("EncryptedPackage"))
        name.append(ch).append('\0');
    constexpr qint64 kChunkBytes = 1024 * 1024;
    QByteArray previousTail;
    while (!file.atEnd()) {
        const QByteArray chunk = previousTail + file.read(kChunkBytes);
        if (chunk.size() == previousTail.size())
            break;
        if (chunk.contains(name))
            return true;
        previousTail = chunk.right(name.size() - 1);
    }
    return false;
}

}  // namespace

WorkbookError::WorkbookError(QString strReason)
    : m_strReason(std::move(strReason)), m_strUtf8(m_strReason.toStdString())
{
}

QString WorkbookError::Damaged() { return QStringLiteral("ファイルが壊れているため、ブックとして読めません。"); }

QString WorkbookError::Encrypted()
{
    return QStringLiteral("パスワードで保護されているため読めません。パスワードを外して保存してから選んで下さい。");
}

QString WorkbookError::NotAWorkbook()
{
    return QStringLiteral("Excel（.xlsx・.xlsm・.xls）や LibreOffice（.ods）のブックではありません。");
}

QString WorkbookError::CannotOpen() { return QStringLiteral("ファイルを開けません。"); }

QString WorkbookError::PastTheLimits()
{
    return QStringLiteral("シートが大きすぎて読めません（1,048,576 行、16,384 列まで）。");
}

QString WorkbookError::NoSheet() { return QStringLiteral("ブックにワークシートがありません。"); }

std::unique_ptr<Workbook> Workbook::Open(const QString& strPath, const WorkbookLimits& limits)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        throw WorkbookError(WorkbookError::CannotOpen());
    const QByteArray start = file.read(kCompoundFileStart.size());

    if (start.startsWith(kCompoundFileStart)) {
        if (HoldsEncryptedPackage(file))
            throw WorkbookError(WorkbookError::Encrypted());
        file.close();
        return OpenXls(strPath, limits);
    }
    file.close();
    if (!start.startsWith(kZipStart) && !start.startsWith(kEmptyZipStart))
        throw WorkbookError(WorkbookError::NotAWorkbook());

    auto package = std::make_unique<ZipPackage>(strPath, limits);
    const QString strMimeType = QStringLiteral("mimetype");
    if (package->Has(strMimeType)) {
        const QByteArray mimeType = package->ReadSmall(strMimeType, 256).trimmed();
        if (mimeType.startsWith("application/vnd.oasis.opendocument.spreadsheet"))
            return OpenOds(std::move(package), strPath, limits);
        throw WorkbookError(WorkbookError::NotAWorkbook());
    }
    if (package->Has(QStringLiteral("[Content_Types].xml")) || package->Has(QStringLiteral("_rels/.rels")))
        return OpenXlsx(std::move(package), strPath, limits);
    if (package->Has(QStringLiteral("content.xml")))
        return OpenOds(std::move(package), strPath, limits);
    throw WorkbookError(WorkbookError::NotAWorkbook());
}

bool IsWorkbookPath(const QString& strPath)
{
    const QString strUpper = strPath.toUpper();
    for (const QStringView strEnding : {u".XLSX", u".XLSM", u".ODS", u".XLS"}) {
        if (strUpper.endsWith(strEnding))
            return true;
    }
    return false;
}

QString CellName(int32_t lngColumn, int64_t lngRow)
{
    QString strLetters;
    for (int32_t lngLeft = lngColumn; lngLeft > 0; lngLeft = (lngLeft - 1) / 26)
        strLetters.prepend(QChar(u'A' + (lngLeft - 1) % 26));
    return strLetters + QString::number(lngRow);
}
