#include "ImportTexts.h"

#include "ImportRun.h"
#include "LineSurvey.h"

#include <algorithm>

namespace import_texts {

namespace {

const QString kDateTimeForm = QStringLiteral("yyyy/MM/dd HH:mm");

QString ReasonText(const LineReason& reason)
{
    if (reason.strColumn.isEmpty())
        return reason.strText;
    return QStringLiteral("%1「%2」: %3").arg(reason.strColumn, reason.strValue, reason.strText);
}

// One line per line listed, and how many more there were.
QStringList WithRest(QStringList lines, std::size_t total)
{
    if (total > std::size_t(lines.size()))
        lines << QStringLiteral("ほか %1 行").arg(total - std::size_t(lines.size()));
    return lines;
}

// The runs whose trades lines matched, each once in the order met, with when each began.
QString MatchedRunsText(const std::vector<LineCheck>& rows)
{
    constexpr int kMostRuns = 5;
    QStringList runs;
    std::vector<int64_t> seen;
    for (const LineCheck& row : rows) {
        if (!row.inLedger || std::find(seen.begin(), seen.end(), row.inLedger->lngRunId) != seen.end())
            continue;
        seen.push_back(row.inLedger->lngRunId);
        if (runs.size() == kMostRuns)
            continue;
        const LedgerMatch& match = *row.inLedger;
        runs << (match.lngRunId == 0 ? MatchText(match)
                                     : QStringLiteral("取り込み %1（%2）")
                                           .arg(match.lngRunId)
                                           .arg(match.dtmRunStarted.toString(kDateTimeForm)));
    }
    if (seen.size() > std::size_t(runs.size()))
        runs << QStringLiteral("ほか %1 件").arg(seen.size() - std::size_t(runs.size()));
    return runs.join(QStringLiteral("、"));
}

}  // namespace

QString TotalsText(int32_t lngRead, int32_t lngImported)
{
    return QStringLiteral("全レコード %1 件中 %2 件インポートしました。").arg(lngRead).arg(lngImported);
}

QString TotalsInformationText(const RunResult& result)
{
    const RunTotals& totals = result.totals;
    QStringList lines;
    if (totals.lngImported > 0)
        lines << QStringLiteral("取り込んだ行: %1 件").arg(totals.lngImported);
    if (totals.lngSkipped > 0)
        lines << QStringLiteral("台帳にある取引と同じため除いた行: %1 件").arg(totals.lngSkipped);
    if (totals.lngRefused > 0)
        lines << QStringLiteral("取り込めなかった行: %1 件（取り込み履歴でこの取り込みを選び、"
                                "「取り込めなかった行を保存」で保存できます）")
                     .arg(totals.lngRefused);
    if (totals.lngAgain > 0)
        lines << QStringLiteral("台帳にある取引と同じ %1 行も、選んだとおりもう一度取り込みました。")
                     .arg(totals.lngAgain);
    return lines.join(QLatin1Char('\n'));
}

QString RunDetailsText(const RunResult& result)
{
    QStringList refused;
    for (const RejectedLine& line : result.firstRefused)
        refused << QStringLiteral("%1 行目: %2").arg(line.lngLineNumber).arg(ReasonsText(line.reasons));
    QStringList skipped;
    for (const SkippedLine& line : result.firstSkipped)
        skipped << QStringLiteral("%1 行目: 取り込み済みの取引と同じため取り込みませんでした（%2）。")
                       .arg(line.lngLineNumber)
                       .arg(MatchText(line.match));
    return (WithRest(refused, std::size_t(result.totals.lngRefused))
            + WithRest(skipped, std::size_t(result.totals.lngSkipped)) + result.matchedNames)
        .join(QLatin1Char('\n'));
}

QString ReasonsText(const std::vector<LineReason>& reasons)
{
    QStringList texts;
    for (const LineReason& reason : reasons)
        texts << ReasonText(reason);
    return texts.join(QStringLiteral(" / "));
}

QString MatchText(const LedgerMatch& match)
{
    if (match.lngRunId == 0)
        return QStringLiteral("取り込みの記録より前からある取引");
    return QStringLiteral("取り込み %1 の %2 行目").arg(match.lngRunId).arg(match.lngLineNumber);
}

QString RepeatQuestionText(const PriorRun& prior)
{
    return QStringLiteral(
               "このファイルは %1 に取り込み済みです（全レコード %2 件中 %3 件）。もう一度インポートしますか？")
        .arg(prior.dtmStarted.toString(kDateTimeForm))
        .arg(prior.lngRead)
        .arg(prior.lngImported);
}

QString LinesQuestionText(const std::vector<LineCheck>& rows)
{
    const LookCounts counts = CountOutcomes(rows);
    const QString same = counts.refused == 0
                             ? QStringLiteral("このファイルの %1 行は台帳にある取引と同じです").arg(counts.inLedger)
                             : QStringLiteral("このファイルの %1 行は台帳にある取引と同じで、%2 行は取り込めません")
                                   .arg(counts.inLedger)
                                   .arg(counts.refused);
    if (counts.fresh == 0)
        return same + QStringLiteral("（%1）。取り込む新しい行はありません。").arg(MatchedRunsText(rows));
    return same
           + QStringLiteral("（全レコード %1 件）。新しい %2 行だけ取り込みますか？")
                 .arg(rows.size())
                 .arg(counts.fresh);
}

QString NoLedgerYetText(const QString& strReason)
{
    return strReason + QStringLiteral("\r\nどの行も台帳にはなく、新しい行です。");
}

QString CannotCompareText(const QString& strReason)
{
    return QStringLiteral("台帳と比べられません: %1").arg(strReason);
}

QString TooManyLinesText(int64_t lngLineNumber)
{
    return QStringLiteral("%1 行目でデータ行が %2 行を超えるため、インポートはそこで中止されます。"
                          "このファイルの取引は登録されません。")
        .arg(lngLineNumber)
        .arg(INT16_MAX);
}

QString PatternAdviceText()
{
    return QStringLiteral(
        "このファイルがほかのシステムの出力なら、取込パターンを作ると読み込めます: "
        "ファイルを選んで右クリックの「取込パターン…」で、どの列がどの項目かを指定して保存してください"
        "（コマンドラインでは --pattern-save）。");
}

QString PatternTieText(const QStringList& names)
{
    return QStringLiteral("このファイルには次の取込パターンが同じように合います。どれで読み込みますか。\n%1")
        .arg(names.join(QStringLiteral("、")));
}

QString PatternMisfitText(const QString& strPattern, const QString& strMissing, int intHeaderRow)
{
    return QStringLiteral("選択されたファイルは取込パターン「%1」に合いません: %2 行目の見出しに「%3」がありません。")
        .arg(strPattern)
        .arg(intHeaderRow)
        .arg(strMissing);
}

}  // namespace import_texts
