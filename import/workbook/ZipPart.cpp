#include "workbook/ZipPart.h"
#include "workbook/WorkbookReaders.h"

#include <quazip.h>
#include <quazipfile.h>
#include <quazipfileinfo.h>

#include <QDir>
#include <QUrl>

namespace {

// Small enough to keep the sheet's text out of memory, large enough that
// the reader's calls do not cost.
constexpr qint64 kChunkBytes = 64 * 1024;

}  // namespace

ZipPackage::ZipPackage(const QString& strPath, const WorkbookLimits& limits)
    : m_zip(std::make_unique<QuaZip>(strPath)), m_limits(limits)
{
    if (!m_zip->open(QuaZip::mdUnzip))
        throw WorkbookError(m_zip->getZipError() == UNZ_ERRNO ? WorkbookError::CannotOpen() : WorkbookError::Damaged());
}

ZipPackage::~ZipPackage() = default;

bool ZipPackage::Has(const QString& strPart)
{
    // Choosing another entry would cut the open one short.
    if (m_blnPartOpen)
        throw WorkbookError(WorkbookError::Damaged());
    const bool blnFound = m_zip->setCurrentFile(strPart, QuaZip::csInsensitive);
    if (!blnFound && m_zip->getZipError() != UNZ_OK)
        throw WorkbookError(WorkbookError::Damaged());
    return blnFound;
}

std::unique_ptr<QuaZipFile> ZipPackage::OpenPart(const QString& strPart)
{
    if (!Has(strPart))
        throw WorkbookError(WorkbookError::Damaged());
    QuaZipFileInfo64 info;
    if (!m_zip->getCurrentFileInfo(&info))
        throw WorkbookError(WorkbookError::Damaged());
    if (info.isEncrypted())
        throw WorkbookError(WorkbookError::Encrypted());
    // The size a part declares may lie; the reading counts again.
    if (info.uncompressedSize > quint64(m_limits.lngPartBytes))
        throw WorkbookError(WorkbookError::PastTheLimits());
    auto file = std::make_unique<QuaZipFile>(m_zip.get());
    if (!file->open(QIODevice::ReadOnly))
        throw WorkbookError(WorkbookError::Damaged());
    return file;
}

QByteArray ZipPackage::ReadSmall(const QString& strPart, int64_t lngMaxBytes)
{
    std::unique_ptr<QuaZipFile> file = OpenPart(strPart);
    QByteArray bytes = file->read(lngMaxBytes + 1);
    if (bytes.size() > lngMaxBytes || file->getZipError() != UNZ_OK)
        throw WorkbookError(WorkbookError::Damaged());
    return bytes;
}

ZipXmlPart::ZipXmlPart(ZipPackage& package, const QString& strPart)
    : m_package(package), m_file(package.OpenPart(strPart))
{
    m_package.m_blnPartOpen = true;
}

ZipXmlPart::~ZipXmlPart()
{
    m_file->close();
    m_package.m_blnPartOpen = false;
}

QXmlStreamReader::TokenType ZipXmlPart::Next()
{
    for (;;) {
        const QXmlStreamReader::TokenType token = m_reader.readNext();
        // Workbooks declare no document type; one could declare entities that inflate.
        if (token == QXmlStreamReader::DTD)
            throw WorkbookError(WorkbookError::Damaged());
        if (token != QXmlStreamReader::Invalid)
            return token;
        if (m_reader.error() != QXmlStreamReader::PrematureEndOfDocumentError || m_blnAllRead)
            throw WorkbookError(WorkbookError::Damaged());
        Refill();
    }
}

void ZipXmlPart::Refill()
{
    m_chunk.resize(kChunkBytes);
    const qint64 lngRead = m_file->read(m_chunk.data(), kChunkBytes);
    if (lngRead < 0 || m_file->getZipError() != UNZ_OK)
        throw WorkbookError(WorkbookError::Damaged());
    if (lngRead == 0) {
        m_blnAllRead = true;
        return;
    }
    m_lngInflated += lngRead;
    if (m_lngInflated > m_package.Limits().lngPartBytes)
        throw WorkbookError(WorkbookError::PastTheLimits());
    m_chunk.truncate(qsizetype(lngRead));
    m_reader.addData(m_chunk);
}

QStringView AttributeByLocalName(const QXmlStreamAttributes& attributes, QStringView strLocalName)
{
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() == strLocalName)
            return attribute.value();
    }
    return {};
}

void ZipXmlPart::SkipElement()
{
    for (int intDepth = 1; intDepth > 0;) {
        switch (Next()) {
        case QXmlStreamReader::StartElement: ++intDepth; break;
        case QXmlStreamReader::EndElement: --intDepth; break;
        case QXmlStreamReader::EndDocument: throw WorkbookError(WorkbookError::Damaged());
        default: break;
        }
    }
}

QString ZipXmlPart::ElementText()
{
    QString strText;
    ElementTextInto(strText);
    return strText;
}

void ZipXmlPart::ElementTextInto(QString& strText)
{
    strText.resize(0);  // clear() would let its room go
    for (int intDepth = 1; intDepth > 0;) {
        switch (Next()) {
        case QXmlStreamReader::StartElement: ++intDepth; break;
        case QXmlStreamReader::EndElement: --intDepth; break;
        case QXmlStreamReader::Characters: strText += m_reader.text(); break;
        case QXmlStreamReader::EndDocument: throw WorkbookError(WorkbookError::Damaged());
        default: break;
        }
    }
}

QString ResolvePartName(const QString& strBaseFolder, QStringView strTarget)
{
    const QString strDecoded = QUrl::fromPercentEncoding(strTarget.toUtf8());
    QString strJoined;
    if (strDecoded.startsWith(u'/'))
        strJoined = strDecoded.mid(1);
    else if (strBaseFolder.isEmpty())
        strJoined = strDecoded;
    else
        strJoined = strBaseFolder + u'/' + strDecoded;
    QString strClean = QDir::cleanPath(strJoined);
    if (strClean.isEmpty() || strClean == u"." || strClean == u".." || strClean.startsWith(u"../")
        || strClean.startsWith(u'/'))
        return QString();
    return strClean;
}

QString PartFolder(const QString& strPart)
{
    const qsizetype intSlash = strPart.lastIndexOf(u'/');
    return intSlash < 0 ? QString() : strPart.left(intSlash);
}
