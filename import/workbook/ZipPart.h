#pragma once

#include "workbook/Workbook.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QXmlStreamReader>

#include <cstdint>
#include <memory>

class QuaZip;
class QuaZipFile;

// A zip package (.xlsx, .ods) opened for reading. Every failure is a
// WorkbookError.
class ZipPackage {
public:
    // Raises WorkbookError when the file is no zip that can be read.
    ZipPackage(const QString& strPath, const WorkbookLimits& limits);
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // Part names are compared without case, as packages name them.
    bool Has(const QString& strPart);
    // The whole part, for small ones (mimetype); raises past maxBytes.
    QByteArray ReadSmall(const QString& strPart, int64_t lngMaxBytes);

    const WorkbookLimits& Limits() const { return m_limits; }

private:
    friend class ZipXmlPart;

    // Makes strPart the current entry and opens it; raises when it cannot.
    std::unique_ptr<QuaZipFile> OpenPart(const QString& strPart);

    std::unique_ptr<QuaZip> m_zip;
    WorkbookLimits m_limits;
    bool m_blnPartOpen = false;  // QuaZip reads one entry at a time
};

// One XML part read token by token as it inflates, never whole: a part past
// the limit, a malformed one or one with a document type declaration raises
// WorkbookError. Element names are compared by their local name, so that
// the strict and the transitional namespaces read alike.
class ZipXmlPart {
public:
    ZipXmlPart(ZipPackage& package, const QString& strPart);
    ~ZipXmlPart();
    ZipXmlPart(const ZipXmlPart&) = delete;
    ZipXmlPart& operator=(const ZipXmlPart&) = delete;

    // The next token; EndDocument once the part is done.
    QXmlStreamReader::TokenType Next();
    const QXmlStreamReader& Reader() const { return m_reader; }

    bool IsStart(QStringView strLocalName) const
    {
        return m_reader.tokenType() == QXmlStreamReader::StartElement && m_reader.name() == strLocalName;
    }
    // Reads past the end of the current start element.
    void SkipElement();
    // The character data of the current start element and all within it,
    // read past its end.
    QString ElementText();
    // The same into strText, emptied first, whose room is used again.
    void ElementTextInto(QString& strText);

private:
    void Refill();

    ZipPackage& m_package;
    std::unique_ptr<QuaZipFile> m_file;
    QXmlStreamReader m_reader;
    QByteArray m_chunk;
    int64_t m_lngInflated = 0;
    bool m_blnAllRead = false;
};

// A part's name as the package holds it, from a relationship's target:
// relative to strBaseFolder ("xl") or absolute ("/xl/worksheets/sheet1.xml").
// Empty when the target leaves the package.
QString ResolvePartName(const QString& strBaseFolder, QStringView strTarget);
// The folder of a part name ("xl" of "xl/workbook.xml"; empty at the root).
QString PartFolder(const QString& strPart);
