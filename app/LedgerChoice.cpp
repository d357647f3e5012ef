#include "LedgerChoice.h"

#include "PostgresLedgerStore.h"
#include "SqliteLedgerStore.h"

#include <QSettings>

#include <memory>

QString ConfiguredLedgerServer()
{
    if (qEnvironmentVariableIsSet(kLedgerServerVariable))
        return qEnvironmentVariable(kLedgerServerVariable).trimmed();
    // Organisation and application both "MoraImport": ~/.config/MoraImport/MoraImport.conf,
    // then /etc/xdg/MoraImport/MoraImport.conf.
    const QSettings settings(QStringLiteral("MoraImport"), QStringLiteral("MoraImport"));
    const QVariant value = settings.value(QLatin1String(kLedgerServerSetting));
    // Unquoted, "host=a,b" reads as a list of two; libpq's host lists use commas.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).trimmed();
    return value.toString().trimmed();
}

LedgerStoreFactory ChooseLedgerStore()
{
    const QString server = ConfiguredLedgerServer();
    if (server.isEmpty())
        return [] { return std::make_unique<SqliteLedgerStore>(); };
    return [server] { return std::make_unique<PostgresLedgerStore>(server); };
}

LedgerHistoryFactory ChooseLedgerHistory()
{
    const QString server = ConfiguredLedgerServer();
    if (server.isEmpty())
        return [](const QString& strConnection) { return OpenSqliteLedgerHistory(strConnection); };
    return [server](const QString&) { return OpenPostgresLedgerHistory(server); };
}
