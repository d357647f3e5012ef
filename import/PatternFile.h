#pragma once

#include "ImportPattern.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <variant>

// The pattern file administrators hand out: UTF-8 JSON of the form
//   {"name": "...", "mode": "sales"|"purchase", "encoding": "auto"|"cp932"|"utf-8",
//    "headerRow": 1, "dateFormat": "auto"|"yyyyMMdd"..., "sheet": "...",
//    "columns": {"日付": "伝票日付", "型式": "#7", "種別": {"value": "商品"}, ...}}
// encoding, headerRow, dateFormat and sheet may be left out.

// The pattern, or why it cannot be right.
std::variant<ImportPattern, QString> ReadPatternFile(const QByteArray& json);
// The file of a pattern, which reads back as the same pattern.
QByteArray WritePatternFile(const ImportPattern& pattern);
// Why a pattern cannot be right, or empty: a check of the value itself,
// whichever way it was made.
QString PatternProblem(const ImportPattern& pattern);
// The header texts a pattern names, in the fields' order.
QStringList PatternHeaderTexts(const ImportPattern& pattern);
