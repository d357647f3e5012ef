#include "LedgerChoice.h"

#include "Keyring.h"
#include "PostgresLedgerStore.h"
#include "ServerConnection.h"
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

LedgerServer SettingsLedgerServer()
{
    // Organisation and application both "MoraImport": ~/.config/MoraImport/MoraImport.conf,
    // then /etc/xdg/MoraImport/MoraImport.conf.
    const QSettings settings(QStringLiteral("MoraImport"), QStringLiteral("MoraImport"));
    LedgerServer server;
    server.strConnection = SettingText(settings, kLedgerServerSetting);
    const QString schema = SettingText(settings, kLedgerSchemaSetting);
    if (!schema.isEmpty())
        server.strSchema = schema;
    return server;
}

LedgerServer ConfiguredLedgerServer()
{
    LedgerServer server;
    if (qEnvironmentVariableIsSet(kLedgerServerVariable)) {
        server.strConnection = qEnvironmentVariable(kLedgerServerVariable).trimmed();
        const QString schema = qEnvironmentVariable(kLedgerSchemaVariable).trimmed();
        if (!schema.isEmpty())
            server.strSchema = schema;
    } else {
        server = SettingsLedgerServer();
    }
    if (!server.strConnection.isEmpty())
        server.password = KeyringPassword(server.strConnection);
    return server;
}

std::function<QString()> KeyringPassword(const QString& strConnection)
{
    const QString key = PasswordKey(strConnection);
    if (key.isEmpty())
        return {};
    return [key] { return Keyring::ReadPassword(key).strPassword; };
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
