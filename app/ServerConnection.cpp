#include "ServerConnection.h"

#include "PostgresConnection.h"
#include "PostgresHandles.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QRegularExpression>
#include <QStringList>

namespace {

// The keys given in a connection string, in libpq's order; empty when it cannot be read.
QList<QPair<QString, QString>> GivenKeys(const QString& strConnection, bool& readable)
{
    QList<QPair<QString, QString>> keys;
    char* error = nullptr;
    const PgConninfoOptions options(PQconninfoParse(strConnection.toUtf8().constData(), &error));
    // Its reason quotes the string, password and all.
    PQfreemem(error);
    readable = options != nullptr;
    if (!options)
        return keys;
    for (const PQconninfoOption* option = options.get(); option->keyword; ++option) {
        if (option->val)
            keys.append({QString::fromUtf8(option->keyword), QString::fromUtf8(option->val)});
    }
    return keys;
}

QString Value(const QList<QPair<QString, QString>>& keys, const char* keyword)
{
    for (const auto& [key, value] : keys) {
        if (key == QLatin1String(keyword))
            return value;
    }
    return QString();
}

// A value as a connection string holds it: quoted unless plain.
QString Quoted(QString value)
{
    static const QRegularExpression plain(QStringLiteral("^[^\\s'\\\\=]+$"));
    if (plain.match(value).hasMatch())
        return value;
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

// The keys the dialog edits; a password never goes into the settings.
bool IsDialogKey(const QString& key)
{
    static const QStringList keys = {
        QStringLiteral("host"),    QStringLiteral("hostaddr"), QStringLiteral("port"),    QStringLiteral("dbname"),
        QStringLiteral("user"),    QStringLiteral("password"), QStringLiteral("sslmode"), QStringLiteral("sslrootcert"),
        QStringLiteral("service"), QStringLiteral("passfile")};
    return keys.contains(key);
}

}  // namespace

LedgerPlace PlaceOfConnection(const QString& strConnection, const QString& strSchema)
{
    LedgerPlace place;
    if (strConnection.trimmed().isEmpty())
        return place;
    bool readable = false;
    const auto keys = GivenKeys(strConnection, readable);
    place.strSchema = strSchema.isEmpty() ? QStringLiteral("public") : strSchema;
    place.strService = Value(keys, "service");
    if (!place.strService.isEmpty()) {
        place.kind = LedgerPlace::Kind::Service;
        return place;
    }
    place.kind = LedgerPlace::Kind::Server;
    place.strHost = Value(keys, "host");
    if (place.strHost.isEmpty())
        place.strHost = Value(keys, "hostaddr");
    place.strPort = Value(keys, "port");
    place.strDatabase = Value(keys, "dbname");
    place.strUser = Value(keys, "user");
    place.strSslMode = Value(keys, "sslmode");
    place.strSslRootCert = Value(keys, "sslrootcert");
    return place;
}

QString ConnectionOfPlace(const LedgerPlace& place, const QString& strKeptFrom)
{
    if (place.kind == LedgerPlace::Kind::ThisComputer)
        return QString();
    QStringList parts;
    const auto add = [&parts](const char* key, const QString& value) {
        if (!value.isEmpty())
            parts << QLatin1String(key) + QLatin1Char('=') + Quoted(value);
    };
    if (place.kind == LedgerPlace::Kind::Service) {
        add("service", place.strService);
    } else {
        add("host", place.strHost);
        add("port", place.strPort);
        add("dbname", place.strDatabase);
        add("user", place.strUser);
        add("sslmode", place.strSslMode);
        add("sslrootcert", place.strSslRootCert);
    }
    bool readable = false;
    for (const auto& [key, value] : GivenKeys(strKeptFrom, readable)) {
        if (!IsDialogKey(key))
            parts << key + QLatin1Char('=') + Quoted(value);
    }
    return parts.join(QLatin1Char(' '));
}

QString PasswordKey(const QString& strConnection)
{
    bool readable = false;
    const auto keys = GivenKeys(strConnection, readable);
    if (!readable || strConnection.trimmed().isEmpty())
        return QString();
    const QString service = Value(keys, "service");
    if (!service.isEmpty())
        return QStringLiteral("ledger service=%1").arg(Quoted(service));
    QString port = Value(keys, "port");
    if (port.isEmpty())
        port = QStringLiteral("5432");
    QString host = Value(keys, "host");
    if (host.isEmpty())
        host = Value(keys, "hostaddr");
    return QStringLiteral("ledger host=%1 port=%2 dbname=%3 user=%4")
        .arg(Quoted(host), Quoted(port), Quoted(Value(keys, "dbname")), Quoted(Value(keys, "user")));
}

namespace {

QString OrDefault(const QString& value, const QString& fallback) { return value.isEmpty() ? fallback : value; }

}  // namespace

QString ShortPlaceText(const LedgerPlace& place)
{
    switch (place.kind) {
    case LedgerPlace::Kind::ThisComputer: return QStringLiteral("このコンピューター");
    case LedgerPlace::Kind::Service: return QStringLiteral("サーバー（サービス %1）").arg(place.strService);
    case LedgerPlace::Kind::Server: break;
    }
    return QStringLiteral("サーバー %1 の %2")
        .arg(OrDefault(place.strHost, QStringLiteral("（既定のホスト）")),
             OrDefault(place.strDatabase, QStringLiteral("（既定のデータベース）")));
}

QString FullPlaceText(const LedgerPlace& place)
{
    switch (place.kind) {
    case LedgerPlace::Kind::ThisComputer: return QStringLiteral("このコンピューター");
    case LedgerPlace::Kind::Service:
        return QStringLiteral("サーバー（pg_service.conf のサービス %1、スキーマ %2）")
            .arg(place.strService, place.strSchema);
    case LedgerPlace::Kind::Server: break;
    }
    QString host = OrDefault(place.strHost, QStringLiteral("（既定のホスト）"));
    if (!place.strPort.isEmpty())
        host += QLatin1Char(':') + place.strPort;
    QStringList about = {QStringLiteral("スキーマ %1").arg(place.strSchema)};
    if (!place.strUser.isEmpty())
        about << QStringLiteral("ユーザー %1").arg(place.strUser);
    return QStringLiteral("サーバー %1 のデータベース %2（%3）")
        .arg(host, OrDefault(place.strDatabase, QStringLiteral("（既定）")), about.join(QStringLiteral("、")));
}

PasswordAnswer TryPassword(const QString& strConnection, const QString& strPassword)
{
    const QByteArray connection = strConnection.toUtf8();
    const QByteArray password = strPassword.toUtf8();
    // As the ledger connects: the string's own keys win over these defaults.
    const char* keys[] = {"connect_timeout", "application_name", "dbname", strPassword.isEmpty() ? nullptr : "password",
                          nullptr};
    const char* values[] = {"10", "MoraImport", connection.constData(), password.constData(), nullptr};
    const PgConnection c(PQconnectdbParams(keys, values, 1));
    if (!c)
        return PasswordAnswer::Other;
    if (PQstatus(c.get()) == CONNECTION_OK)
        return PasswordAnswer::Accepted;
    switch (ConnectFailureOf(PQerrorMessage(c.get()), PQconnectionNeedsPassword(c.get()) != 0,
                             PQconnectionUsedPassword(c.get()) != 0)) {
    case ConnectFailure::NoPassword: return PasswordAnswer::Missing;
    case ConnectFailure::WrongPassword: return PasswordAnswer::Wrong;
    default: return PasswordAnswer::Other;
    }
}
