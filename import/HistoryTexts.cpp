#include "HistoryTexts.h"

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
