#include "LedgerChoice.h"

#include "FileChoice.h"
#include "Keyring.h"
#include "PostgresLedgerStore.h"
#include "ServerConnection.h"
#include "SqliteLedgerStore.h"

#include <QDir>
#include <QFileInfo>
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

LedgerServer ConfiguredLedgerServer(const PasswordSource& passwords)
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
    if (!server.strConnection.isEmpty() && passwords)
        server.password = [passwords, connection = server.strConnection] { return passwords(connection); };
    return server;
}

PasswordSource KeyringPasswords()
{
    return [](const QString& strConnection) {
        const std::function<QString()> password = KeyringPassword(strConnection);
        return password ? password() : QString();
    };
}

std::function<QString()> KeyringPassword(const QString& strConnection)
{
    const QString key = PasswordKey(strConnection);
    if (key.isEmpty())
        return {};
    return [key] { return Keyring::ReadPassword(key).strPassword; };
}

LedgerStoreFactory ChooseLedgerStore(const PasswordSource& passwords)
{
    const LedgerServer server = ConfiguredLedgerServer(passwords);
    if (server.strConnection.isEmpty())
        return [] { return std::make_unique<SqliteLedgerStore>(); };
    return [server] { return std::make_unique<PostgresLedgerStore>(server); };
}

LedgerHistoryFactory ChooseLedgerHistory(const PasswordSource& passwords)
{
    const LedgerServer server = ConfiguredLedgerServer(passwords);
    if (server.strConnection.isEmpty())
        return [](const QString& strConnection) { return OpenSqliteLedgerHistory(strConnection); };
    return [server](const QString&) { return OpenPostgresLedgerHistory(server); };
}

LedgerPatternsFactory ChooseLedgerPatterns(const PasswordSource& passwords)
{
    const LedgerServer server = ConfiguredLedgerServer(passwords);
    if (server.strConnection.isEmpty())
        return [](const QString& strConnection, bool blnToWrite) {
            return OpenSqliteLedgerPatterns(strConnection, blnToWrite);
        };
    return [server](const QString&, bool blnToWrite) { return OpenPostgresLedgerPatterns(server, blnToWrite); };
}

LedgerInUse LedgerInUseNow()
{
    const LedgerServer server = ConfiguredLedgerServer(nullptr);
    if (server.strConnection.isEmpty()) {
        const QString file = LedgerFilePath();
        return {false, QStringLiteral("このコンピューター"),
                QStringLiteral("このコンピューター（%1）").arg(QDir::toNativeSeparators(file)), QFileInfo(file).path()};
    }
    const LedgerPlace place = PlaceOfConnection(server.strConnection, server.strSchema);
    QString full = FullPlaceText(place);
    if (qEnvironmentVariableIsSet(kLedgerServerVariable))
        full += QStringLiteral("（環境変数 %1 による指定）").arg(QLatin1String(kLedgerServerVariable));
    return {true, ShortPlaceText(place), full, QString()};
}

QString LedgerPlaceKey()
{
    const LedgerServer server = ConfiguredLedgerServer(nullptr);
    if (server.strConnection.isEmpty())
        return QStringLiteral("file\n") + LedgerFilePath();
    return QStringLiteral("server\n%1\n%2").arg(server.strConnection, server.strSchema);
}
