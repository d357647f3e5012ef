#include "LedgerChoice.h"

#include "PostgresLedgerStore.h"
#include "SqliteLedgerStore.h"

#include <QSettings>

#include <memory>

namespace {

// Unquoted in a settings file, "host=a,b" reads as a list of two; libpq's host lists use commas.
QString SettingText(const QSettings& settings, const char* key)
{
    const QVariant value = settings.value(QLatin1String(key));
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).trimmed();
    return value.toString().trimmed();
}

}  // namespace

LedgerServer ConfiguredLedgerServer()
{
    LedgerServer server;
    QString schema;
    if (qEnvironmentVariableIsSet(kLedgerServerVariable)) {
        server.strConnection = qEnvironmentVariable(kLedgerServerVariable).trimmed();
        schema = qEnvironmentVariable(kLedgerSchemaVariable).trimmed();
    } else {
        // Organisation and application both "MoraImport": ~/.config/MoraImport/MoraImport.conf,
        // then /etc/xdg/MoraImport/MoraImport.conf.
        const QSettings settings(QStringLiteral("MoraImport"), QStringLiteral("MoraImport"));
        server.strConnection = SettingText(settings, kLedgerServerSetting);
        schema = SettingText(settings, kLedgerSchemaSetting);
    }
    if (!schema.isEmpty())
        server.strSchema = schema;
    return server;
}

LedgerStoreFactory ChooseLedgerStore()
{
    const LedgerServer server = ConfiguredLedgerServer();
    if (server.strConnection.isEmpty())
        return [] { return std::make_unique<SqliteLedgerStore>(); };
    return [server] { return std::make_unique<PostgresLedgerStore>(server); };
}

LedgerHistoryFactory ChooseLedgerHistory()
{
    const LedgerServer server = ConfiguredLedgerServer();
    if (server.strConnection.isEmpty())
        return [](const QString& strConnection) { return OpenSqliteLedgerHistory(strConnection); };
    return [server](const QString&) { return OpenPostgresLedgerHistory(server); };
}
