#include "HistoryTexts.h"

#include <QStringList>

QByteArray RejectsFileContent(const RunRejects& rejects)
{
    // Without the mark, Excel on a Japanese system reads UTF-8 as code page 932.
    QByteArray content = "\xEF\xBB\xBF" + rejects.strHeaderLine.toUtf8() + "\r\n";
    for (const RejectedLine& line : rejects.lines)
        content += line.strRecord.toUtf8() + "\r\n";
    return content;
}

QString UndoneText(int64_t lngRunId, int64_t lngTrades)
{
    return QStringLiteral("取り込み %1 を取り消しました（取引 %2 件）。").arg(lngRunId).arg(lngTrades);
}

QString UnknownRunText(const QString& strRun)
{
    return QStringLiteral("取り込み %1 はありません。").arg(strRun);
}

QString AlreadyUndoneText(int64_t lngRunId)
{
    return QStringLiteral("取り込み %1 は取り消し済みです。").arg(lngRunId);
}

QString ReliedOnText(const std::vector<clsLedgerHistory::RelyingRun>& runs)
{
    QStringList counted;
    QStringList names;
    for (const clsLedgerHistory::RelyingRun& run : runs) {
        counted << QStringLiteral("取り込み %1 がこの取り込みの取引 %2 件を取り込み済みとして数えています。")
                       .arg(run.lngRunId)
                       .arg(run.lngTrades);
        names << QStringLiteral("取り込み %1").arg(run.lngRunId);
    }
    return counted.join(QString()) + QStringLiteral("先に%1 を取り消してください。").arg(names.join(QStringLiteral("、")));
}
