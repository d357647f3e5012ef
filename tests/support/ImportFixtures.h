#pragma once

#include <QString>
#include <QStringList>

#include "LineSurvey.h"
#include "QtPrinters.h"

// Header lines and a message helper shared by the import tests.
namespace fixtures {

inline const QString kPurchaseHeader =
    QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,仕入単価,ふりがな,仕入先");
inline const QString kSalesHeader =
    QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,販売単価,ふりがな,販売先");

inline QString Report(const QString& code, const QString& description)
{
    return code + QStringLiteral("\r\n") + description;
}

inline QString Lines(const QStringList& lines) { return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"); }

// The text of the totals box.
inline QString Totals(int read, int imported)
{
    return QStringLiteral("全レコード %1 件中 %2 件インポートしました。").arg(read).arg(imported);
}

// A row of the look, as the window or the console is given it.
inline LineCheck CheckRow(int64_t line, LineCheck::Outcome outcome, const QString& detail)
{
    LineCheck row;
    row.lngLineNumber = line;
    row.outcome = outcome;
    row.strDetail = detail;
    return row;
}

}  // namespace fixtures
