#pragma once

// Workbooks made for tests, fuzzing and benchmarks: a zip package from its
// parts, and the smallest .xlsx and .ods around a sheet's XML.
#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

#include <QByteArray>
#include <QString>

#include <stdexcept>
#include <utility>
#include <vector>

struct ZipEntry {
    QString strName;
    QByteArray content;
};

// Level 0 stores the parts as they are (quicker for the fuzzer).
inline void WriteZip(const QString& strPath, const std::vector<ZipEntry>& entries, int intLevel = 6)
{
    QuaZip zip(strPath);
    if (!zip.open(QuaZip::mdCreate))
        throw std::runtime_error("cannot create " + strPath.toStdString());
    for (const ZipEntry& entry : entries) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(entry.strName), nullptr, 0, intLevel == 0 ? 0 : 8, intLevel)
            || file.write(entry.content) != entry.content.size())
            throw std::runtime_error("cannot write " + entry.strName.toStdString());
        file.close();
    }
    zip.close();
    if (zip.getZipError() != 0)
        throw std::runtime_error("cannot close " + strPath.toStdString());
}

namespace workbook_files {

inline const char* const kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline const char* const kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

}  // namespace workbook_files

// What a small .xlsx is made of; empty parts are left out.
struct XlsxParts {
    std::vector<std::pair<QString, QByteArray>> sheets;  // name, the <sheetData> content
    QByteArray sharedStrings;                            // the <si> items
    QByteArray styles;                                   // <numFmts> and <cellXfs>
    QByteArray workbookPr;                               // e.g. <workbookPr date1904="1"/>
    bool blnAbsoluteTargets = false;
};

inline std::vector<ZipEntry> XlsxEntries(const XlsxParts& parts)
{
    using namespace workbook_files;
    const QByteArray main = kMain;
    const QByteArray relType = kRelType;
    const QByteArray folder = parts.blnAbsoluteTargets ? "/xl/" : "";
    QByteArray sheetEntries;
    QByteArray relationships;
    std::vector<ZipEntry> entries;
    entries.push_back({QStringLiteral("[Content_Types].xml"),
                       "<?xml version=\"1.0\"?><Types "
                       "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"});
    entries.push_back({QStringLiteral("_rels/.rels"),
                       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                       "<Relationship Id=\"rId1\" Type=\""
                           + relType + "officeDocument\" Target=\"" + (parts.blnAbsoluteTargets ? "/" : "")
                           + "xl/workbook.xml\"/></Relationships>"});
    for (size_t i = 0; i < parts.sheets.size(); ++i) {
        const QByteArray number = QByteArray::number(qulonglong(i + 1));
        sheetEntries += "<sheet name=\"" + parts.sheets[i].first.toUtf8() + "\" sheetId=\"" + number + "\" r:id=\"rId"
                        + number + "\"/>";
        relationships += "<Relationship Id=\"rId" + number + "\" Type=\"" + relType + "worksheet\" Target=\"" + folder
                         + "worksheets/sheet" + number + ".xml\"/>";
        entries.push_back({QStringLiteral("xl/worksheets/sheet%1.xml").arg(i + 1),
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"" + main + "\"><sheetData>"
                               + parts.sheets[i].second + "</sheetData></worksheet>"});
    }
    if (!parts.sharedStrings.isEmpty()) {
        relationships += "<Relationship Id=\"rIdS\" Type=\"" + relType + "sharedStrings\" Target=\"" + folder
                         + "sharedStrings.xml\"/>";
        entries.push_back(
            {QStringLiteral("xl/sharedStrings.xml"), "<sst xmlns=\"" + main + "\">" + parts.sharedStrings + "</sst>"});
    }
    if (!parts.styles.isEmpty()) {
        relationships +=
            "<Relationship Id=\"rIdY\" Type=\"" + relType + "styles\" Target=\"" + folder + "styles.xml\"/>";
        entries.push_back(
            {QStringLiteral("xl/styles.xml"), "<styleSheet xmlns=\"" + main + "\">" + parts.styles + "</styleSheet>"});
    }
    entries.push_back({QStringLiteral("xl/workbook.xml"),
                       "<workbook xmlns=\"" + main
                           + "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                           + parts.workbookPr + "<sheets>" + sheetEntries + "</sheets></workbook>"});
    entries.push_back({QStringLiteral("xl/_rels/workbook.xml.rels"),
                       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                           + relationships + "</Relationships>"});
    return entries;
}

// A small .ods: its tables' XML (<table:table> elements) in content.xml.
inline std::vector<ZipEntry> OdsEntries(const QByteArray& tables)
{
    return {
        {QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"},
        {QStringLiteral("content.xml"),
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
         "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
         "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
         "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
         "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\" "
         "office:version=\"1.3\"><office:body><office:spreadsheet>"
             + tables + "</office:spreadsheet></office:body></office:document-content>"},
    };
}
