#include "HistoryTexts.h"

#include <QFileInfo>
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

QString UnknownRunText(const QString& strRun) { return QStringLiteral("取り込み %1 はありません。").arg(strRun); }

QString AlreadyUndoneText(int64_t lngRunId) { return QStringLiteral("取り込み %1 は取り消し済みです。").arg(lngRunId); }

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
    return counted.join(QString())
           + QStringLiteral("先に%1 を取り消してください。").arg(names.join(QStringLiteral("、")));
}

QString MasterText(const QString& strMaster)
{
    if (strMaster == QLatin1String("products"))
        return QStringLiteral("製品");
    if (strMaster == QLatin1String("suppliers"))
        return QStringLiteral("仕入先");
    if (strMaster == QLatin1String("customers"))
        return QStringLiteral("販売先");
    if (strMaster == QLatin1String("kinds"))
        return QStringLiteral("種別");
    return strMaster;
}

QString RunByText(const RunSummary& run)
{
    if (run.strHost.isEmpty())
        return run.strUser;
    return QStringLiteral("%1（%2）").arg(run.strUser, run.strHost);
}

QString UndoQuestionText(const RunSummary& run, int64_t lngTrades)
{
    return QStringLiteral("取り込み %1（%2）の取引 %3 件を取り消しますか？")
        .arg(run.lngRunId)
        .arg(QFileInfo(run.strFilePath).fileName())
        .arg(lngTrades);
}

QString UndoNamesText(const clsLedgerHistory::UndoResult& preview)
{
    const std::pair<const char*, int64_t> names[] = {
        {"products", preview.lngProductsRemoved},
        {"suppliers", preview.lngSuppliersRemoved},
        {"customers", preview.lngCustomersRemoved},
        {"kinds", preview.lngKindsRemoved},
    };
    QStringList counted;
    for (const auto& [master, count] : names) {
        if (count > 0)
            counted << QStringLiteral("%1 %2 件").arg(MasterText(QString::fromLatin1(master))).arg(count);
    }
    if (counted.isEmpty())
        return QString();
    return QStringLiteral("この取り込みだけが使っている%1も台帳から消えます。").arg(counted.join(QStringLiteral("、")));
}
