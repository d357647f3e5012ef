#include "LedgerPlaceSettings.h"

#include "FileChoice.h"
#include "Keyring.h"
#include "LedgerChoice.h"
#include "LedgerServer.h"
#include "ServerConnection.h"

#include <QSettings>

LedgerPlace LedgerPlaceSettings::Current()
{
    const LedgerServer server = SettingsLedgerServer();
    return PlaceOfConnection(server.strConnection, server.strSchema);
}

QString LedgerPlaceSettings::LocalLedgerPath() { return LedgerFilePath(); }

bool LedgerPlaceSettings::ChosenByEnvironment() { return qEnvironmentVariableIsSet(kLedgerServerVariable); }

bool LedgerPlaceSettings::KeyringAvailable() { return Keyring::Available(); }

bool LedgerPlaceSettings::HasStoredPassword(const LedgerPlace& place)
{
    const QString key = PasswordKey(ConnectionOfPlace(place));
    return !key.isEmpty() && Keyring::ReadPassword(key).status == Keyring::Status::Found;
}

LedgerPlaceTest LedgerPlaceSettings::Test(const LedgerPlace& place, const QString& strPassword)
{
    if (place.kind == LedgerPlace::Kind::ThisComputer)
        return {};
    LedgerServer server;
    server.strConnection = ConnectionOfPlace(place, SettingsLedgerServer().strConnection);
    server.strSchema = place.strSchema;
    if (strPassword.isEmpty())
        server.password = KeyringPassword(server.strConnection);
    else
        server.password = [strPassword] { return strPassword; };
    const LedgerServerCheck check = CheckLedgerServer(server);
    return {check.blnReady, check.lngRuns, check.strText};
}

QString LedgerPlaceSettings::Save(const LedgerPlace& place, const QString& strPassword)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("MoraImport"),
                       QStringLiteral("MoraImport"));
    const QString strConnection = ConnectionOfPlace(place, SettingsLedgerServer().strConnection);
    // The password first: a choice saved without it would fail at the next import.
    if (place.kind != LedgerPlace::Kind::ThisComputer && !strPassword.isEmpty()) {
        const QString failure = Keyring::WritePassword(PasswordKey(strConnection), strPassword);
        if (!failure.isEmpty())
            return failure;
    }
    // Empty rather than absent, so that a server all users are given does
    // not come back for one who chose this computer.
    settings.setValue(QLatin1String(kLedgerServerSetting), strConnection);
    if (place.kind == LedgerPlace::Kind::ThisComputer)
        settings.remove(QLatin1String(kLedgerSchemaSetting));
    else
        settings.setValue(QLatin1String(kLedgerSchemaSetting), place.strSchema);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("設定を保存できません: %1").arg(settings.fileName());
    return QString();
}
