#include "ConnectionString.h"

namespace {

bool IsSpace(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

}  // namespace

DataSourceResult DataSourceOf(const QString& strConnection)
{
    const auto malformed = [](const QString& detail) {
        return DataSourceResult{{}, QStringLiteral("接続文字列の形式が正しくありません（%1）。").arg(detail)};
    };

    QString dataSource;
    bool found = false;
    const qsizetype length = strConnection.size();
    qsizetype pos = 0;
    while (pos < length) {
        const qsizetype keyEnd = [&] {
            qsizetype i = pos;
            while (i < length && strConnection[i] != QLatin1Char('=') && strConnection[i] != QLatin1Char(';'))
                ++i;
            return i;
        }();
        const QString key = strConnection.mid(pos, keyEnd - pos).trimmed();
        if (keyEnd >= length || strConnection[keyEnd] == QLatin1Char(';')) {
            // Blank pieces (a trailing ';', ";;") carry nothing.
            if (!key.isEmpty())
                return malformed(QStringLiteral("「%1」に = がありません").arg(key));
            pos = keyEnd + 1;
            continue;
        }
        if (key.isEmpty())
            return malformed(QStringLiteral("キーのない値があります"));

        qsizetype i = keyEnd + 1;
        while (i < length && IsSpace(strConnection[i]))
            ++i;
        QString value;
        if (i < length && (strConnection[i] == QLatin1Char('"') || strConnection[i] == QLatin1Char('\''))) {
            const QChar quote = strConnection[i++];
            bool closed = false;
            while (i < length) {
                if (strConnection[i] == quote) {
                    if (i + 1 < length && strConnection[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += strConnection[i++];
            }
            if (!closed)
                return malformed(QStringLiteral("「%1」の引用符が閉じていません").arg(key));
            while (i < length && IsSpace(strConnection[i]))
                ++i;
            if (i < length && strConnection[i] != QLatin1Char(';'))
                return malformed(QStringLiteral("「%1」の引用符の後に文字があります").arg(key));
        } else {
            const qsizetype start = i;
            while (i < length && strConnection[i] != QLatin1Char(';'))
                ++i;
            value = strConnection.mid(start, i - start).trimmed();
        }
        pos = i + 1;

        if (key.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0) {
            // Two data sources would leave it to chance which file is written.
            if (found)
                return malformed(QStringLiteral("Data Source が二つあります"));
            found = true;
            dataSource = value;
        }
    }
    if (!found)
        return {{}, QStringLiteral("接続文字列に Data Source（データベースファイル）がありません。")};
    if (dataSource.isEmpty())
        return {{}, QStringLiteral("接続文字列の Data Source が空です。")};
    return {dataSource, {}};
}
