#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>

// The template's columns, said once: the header names each accepts, the
// report code of a value it cannot take, and the field it fills.

// The fields a line fills: the template's columns in their order, then the
// amount, which the template computes from them and an import pattern may give.
enum class ImportField : uint8_t {
    Date,
    Kind,
    Maker,
    ProductReading,
    ProductName,
    Model,
    Spec,
    Quantity,
    UnitPrice,
    PartyReading,
    PartyName,
    Amount,
};

struct ImportColumn {
    ImportField field;
    // The header names it accepts: a purchase file's, then a sales file's
    // (the same name twice where the modes agree).
    std::array<QStringView, 2> names;
    // The code of the report of a bad value: the operation the column goes to.
    QStringView code;
};

// In the template's order: column 1 first.
inline constexpr std::array<ImportColumn, 11> kImportColumns = {{
    {ImportField::Date, {u"日付", u"日付"}, u"CLS-is1002"},
    {ImportField::Kind, {u"種別", u"種別"}, u"CLS-is1001"},
    {ImportField::Maker, {u"メーカー", u"メーカー"}, u"CLS-is1003"},
    {ImportField::ProductReading, {u"ふりがな", u"ふりがな"}, u"CLS-is1003"},
    {ImportField::ProductName, {u"製品名", u"製品名"}, u"CLS-is1003"},
    {ImportField::Model, {u"型式", u"型式"}, u"CLS-is1003"},
    {ImportField::Spec, {u"仕様", u"仕様"}, u"CLS-is1003"},
    {ImportField::Quantity, {u"数量", u"数量"}, u"CLS-is1002"},
    {ImportField::UnitPrice, {u"仕入単価", u"販売単価"}, u"CLS-is1002"},
    {ImportField::PartyReading, {u"ふりがな", u"ふりがな"}, u"CLS-is1004"},
    {ImportField::PartyName, {u"仕入先", u"販売先"}, u"CLS-is1004"},
}};

inline constexpr int16_t kImportColumnCount = int16_t(kImportColumns.size());

// The column of a field, counted from 1.
constexpr int16_t ColumnOf(ImportField field) { return int16_t(int(field) + 1); }

// What a header item says of its column (counted from 1): nothing when it
// is not one of the column's names; else whether it makes the file a
// purchase file (true), a sales file (false), or leaves that to another
// column (the mode given back unchanged, as held).
std::optional<bool> HeaderItemMode(int16_t intColumn, QStringView strItem, bool blnPurchase);

// The report code of a bad value in a column; "CLS-is1001" past the template's.
QString CodeOfColumn(int16_t intColumn);
