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
    return settings.value(QLatin1String(kLedgerServerSetting)).toString().trimmed();
}

LedgerStoreFactory ChooseLedgerStore()
{
    const QString server = ConfiguredLedgerServer();
    if (server.isEmpty())
        return [] { return std::make_unique<SqliteLedgerStore>(); };
    return [server] { return std::make_unique<PostgresLedgerStore>(server); };
}
