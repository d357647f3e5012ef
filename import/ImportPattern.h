#pragma once

#include "ImportColumns.h"

#include <QString>

#include <array>
#include <cstdint>

// How a file of another layout becomes the template's fields: where each
// field comes from, the mode, the header's line, the encoding and the date's
// form. A value: kept in the ledger by name, handed out as a file.

// The fields a pattern fills: the template's columns in their order, then the amount.
using PatternField = ImportField;

inline constexpr std::size_t kPatternFieldCount = 12;

inline constexpr std::array<PatternField, kPatternFieldCount> kPatternFields = {
    PatternField::Date,        PatternField::Kind,         PatternField::Maker,     PatternField::ProductReading,
    PatternField::ProductName, PatternField::Model,        PatternField::Spec,      PatternField::Quantity,
    PatternField::UnitPrice,   PatternField::PartyReading, PatternField::PartyName, PatternField::Amount,
};

// Where one field's value comes from.
struct PatternSource {
    enum class Kind : uint8_t {
        Nothing,  // empty on every line
        Header,   // the file's column whose header text is strText
        Number,   // the file's column intNumber, counted from 1
        Value,    // strText on every line
    };
    Kind kind = Kind::Nothing;
    QString strText;
    int intNumber = 0;

    friend bool operator==(const PatternSource&, const PatternSource&) = default;
};

enum class PatternEncoding : uint8_t { Auto, Cp932, Utf8 };

struct ImportPattern {
    QString strName;
    bool blnPurchase = false;  // the party is the supplier; else the customer
    PatternEncoding encoding = PatternEncoding::Auto;
    int intHeaderRow = 1;   // 0: the file has no header line
    QString strDateFormat;  // empty: read dates as the template's are
    QString strSheet;       // a workbook's sheet by name; empty: the first
    std::array<PatternSource, kPatternFieldCount> sources;

    const PatternSource& SourceOf(PatternField field) const { return sources[std::size_t(field)]; }
    PatternSource& SourceOf(PatternField field) { return sources[std::size_t(field)]; }

    friend bool operator==(const ImportPattern&, const ImportPattern&) = default;
};
