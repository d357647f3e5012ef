#include "ConsoleCheck.h"

#include "FileChoice.h"
#include "TabSeparated.h"

#include "ErrorReport.h"

#include <QByteArray>

#include <optional>

namespace {

QString OutcomeText(LineCheck::Outcome outcome)
{
    switch (outcome) {
    case LineCheck::Outcome::New: return QStringLiteral("new");
    case LineCheck::Outcome::InLedger: return QStringLiteral("in-ledger");
    case LineCheck::Outcome::Refused: return QStringLiteral("refused");
    }
    return QString();
}

}  // namespace

QString LineChecksText(const std::vector<LineCheck>& checks)
{
    QString text = QStringLiteral("line\toutcome\tdetail\n");
    for (const LineCheck& check : checks) {
        text += QString::number(check.lngLineNumber) + u'\t' + OutcomeText(check.outcome) + u'\t'
                + TsvField(check.strDetail) + u'\n';
    }
    return text;
}

ExitStatus RunConsoleCheck(Desktop& desktop, const QStringList& files, LedgerStoreFactory storeFactory,
                           std::ostream& out, const ConsoleReading& reading)
{
    try {
        const std::optional<QString> strFilePath = ChooseImportFile(desktop, files);
        if (!strFilePath)
            return ExitStatus::Failed;
        clsImportSource importSource(desktop, std::move(storeFactory));
        reading.ApplyTo(importSource);
        const std::optional<std::vector<LineCheck>> checks =
            importSource.CheckFile(*strFilePath, LedgerConnectionString());
        if (!checks)
            return ExitStatus::Failed;
        const QByteArray bytes = LineChecksText(*checks).toUtf8();
        out.write(bytes.constData(), bytes.size());
        out.flush();
        return ExitStatus::Ok;
    } catch (const std::exception& error) {
        // As the window's look says it.
        desktop.MsgBox(ErrorDescription(error), MB_ICONINFORMATION, QStringLiteral("取り込み前の確認"));
        return ExitStatus::Failed;
    }
}
