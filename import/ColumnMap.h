#pragma once

#include "ImportPattern.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

// Where the line reader finds each field in a file's records: the template's
// columns in place, or a pattern's columns wherever the file has them.
class ColumnMap {
public:
    // One field's place.
    struct Place {
        int16_t intColumn = 0;  // the file's column, counted from 1; 0: strValue on every line
        QString strValue;
        QString strName;  // the name reports give it: the file's own header text
    };

    // The template's: column N fills the template's field N, named as the file names it.
    static ColumnMap Template(const QStringList& headerNames);
    // A pattern's over a file whose header line (empty when it has none)
    // holds headerNames: nothing when a column it names is not there, whose
    // text then goes to missing.
    static std::optional<ColumnMap> FromPattern(const ImportPattern& pattern, const QStringList& headerNames,
                                                QString* missing = nullptr);

    const Place& PlaceOf(PatternField field) const { return m_places[std::size_t(field)]; }
    bool IsTemplate() const { return m_blnTemplate; }
    // The template's columns: up to the header's last name, the template's at least.
    int16_t NamedColumns() const { return m_intNamedColumns; }
    // The file's name of its column intColumn, counted from 1.
    QString HeaderName(int16_t intColumn) const { return m_headerNames.value(intColumn - 1); }
    // Empty: dates read as the template's are.
    const QString& DateFormat() const { return m_strDateFormat; }

private:
    std::array<Place, kPatternFieldCount> m_places;
    QStringList m_headerNames;
    QString m_strDateFormat;
    int16_t m_intNamedColumns = 0;
    bool m_blnTemplate = false;
};

// The name of a pattern's field, as the pattern file and the dialog write it.
QString PatternFieldName(PatternField field);
