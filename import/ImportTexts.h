#pragma once

#include "clsLedgerStore.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

struct LineCheck;
struct RunResult;

// Every text the import shows, made from the values the stages return, in
// one place.
namespace import_texts {

inline const QString kFileSelectionError = QStringLiteral("ファイル選択エラー");
inline const QString kImportError = QStringLiteral("インポートエラー");
inline const QString kImportQuestion = QStringLiteral("インポート確認");
inline const QString kImportDone = QStringLiteral("インポート完了");
inline const QString kLookTitle = QStringLiteral("取り込み前の確認");
inline const QString kPatternTitle = QStringLiteral("取込パターン");

// The totals sentence, exactly: 全レコード 3 件中 2 件インポートしました。
QString TotalsText(int32_t lngRead, int32_t lngImported);
// Beneath it: the lines imported, left out as already in the ledger and
// refused, each where there are any, where the refused lines can be saved,
// and the lines in the ledger imported again as chosen.
QString TotalsInformationText(const RunResult& result);
// The totals box's details: refused lines, lines left out, names matched.
QString RunDetailsText(const RunResult& result);

// A reason of a line as one text: 日付「2024/13/1」: 型が一致しません。
QString ReasonsText(const std::vector<LineReason>& reasons);
// The stored trade a line is the same as: 取り込み 3 の 40 行目.
QString MatchText(const LedgerMatch& match);

QString RepeatQuestionText(const PriorRun& prior);
// The line question of a look with these outcomes, nothing new among them or some.
QString LinesQuestionText(const std::vector<LineCheck>& rows);
QString NoLedgerYetText(const QString& strReason);
QString CannotCompareText(const QString& strReason);
// Beneath the format message: how a file of another layout can be read.
QString PatternAdviceText();
// The question of a file that several patterns fit equally well.
QString PatternTieText(const QStringList& names);
// A file that does not fit the pattern chosen for it: the header text it lacks.
QString PatternMisfitText(const QString& strPattern, const QString& strMissing, int intHeaderRow);
// Where a file passes a run's counter: the import stops there without totals.
QString TooManyLinesText(int64_t lngLineNumber);

}  // namespace import_texts
