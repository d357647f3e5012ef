#pragma once

#include "ImportPattern.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>
#include <vector>

// The field a file's column fills, as its header text suggests it: what the
// pattern dialog offers above each column, for the clerk to keep or change.

// A header text as the suggestions compare it: in NFKC (full- and
// half-width forms alike), lower case, without spaces and brackets.
QString FoldedHeaderText(QStringView text);

// The field a header text suggests on its own in a file of the mode
// (得意先名 names the party of a sales file, 仕入先名 of a purchase file); a
// reading with its name (商品名カナ) is that name's reading, a bare one
// (フリガナ) suggests nothing on its own.
std::optional<PatternField> SuggestField(QStringView header, bool blnPurchase);

// The field each column of a header row suggests, each field at most once:
// to the column whose text names it most plainly (日付 before 伝票日付),
// the leftmost among equals. A bare reading is that of the name in the
// column after it, else of the name before it (the template writes
// ふりがな before 製品名).
std::vector<std::optional<PatternField>> SuggestColumnFields(const QStringList& headers, bool blnPurchase);

// A pattern's sources as the header row suggests them: each column by its
// header text, trimmed, or by its number where the text is empty or another
// column has the same (the template's two ふりがな); nothing for the rest.
std::array<PatternSource, kPatternFieldCount> SuggestSources(const QStringList& headers, bool blnPurchase);
