#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// Where the ledger lies, as the ledger-place dialog edits it.
struct LedgerPlace {
    enum class Kind { ThisComputer, Server, Service };
    Kind kind = Kind::ThisComputer;
    // Kind::Server: the server itself.
    QString strHost;
    QString strPort;
    QString strDatabase;
    QString strUser;
    QString strSslMode;      // libpq's sslmode
    QString strSslRootCert;  // the office's CA certificate; empty for libpq's own place
    // Kind::Service: a service of pg_service.conf, which an administrator hands out.
    QString strService;
    // Both kinds of server.
    QString strSchema = QStringLiteral("public");

    bool operator==(const LedgerPlace&) const = default;
};

// What a connection test found, in Japanese.
struct LedgerPlaceTest {
    bool blnReady = false;
    int64_t lngRuns = 0;
    QString strText;
};

// What the ledger-place dialog needs of the program, which knows the
// settings, the keyring and the ledger.
class LedgerPlaceSetup {
public:
    virtual ~LedgerPlaceSetup() = default;

    // The place the settings name now.
    virtual LedgerPlace Current() = 0;
    // The ledger file of this computer.
    virtual QString LocalLedgerPath() = 0;
    // The environment names a server, which comes before the settings.
    virtual bool ChosenByEnvironment() = 0;
    // A keyring can keep a server's password.
    virtual bool KeyringAvailable() = 0;
    // The keyring holds a password for the server of this place.
    virtual bool HasStoredPassword(const LedgerPlace& place) = 0;
    // Connects to the place's server and looks at its ledger; an empty
    // password means the stored one, or libpq's own ways.
    virtual LedgerPlaceTest Test(const LedgerPlace& place, const QString& strPassword) = 0;
    // Saves the choice, the password (when one is given) to the keyring
    // only; gives what went wrong, empty when all is saved.
    virtual QString Save(const LedgerPlace& place, const QString& strPassword) = 0;
};

using LedgerPlaceSetupFactory = std::function<std::unique_ptr<LedgerPlaceSetup>()>;

// Which ledger the window works on, as the clerk is shown it.
struct LedgerInUse {
    bool blnServer = false;
    QString strShort;       // このコンピューター; サーバー ledger.example の orvanta
    QString strFull;        // with the file's path, or the server's port, schema and user
    QString strDataFolder;  // the folder of this computer's ledger file; empty for a server
};
// Asked anew each time: the current folder and the settings decide.
using LedgerInUseSource = std::function<LedgerInUse()>;

// The default SSL mode for a host: a server elsewhere must prove who it is.
inline bool IsThisComputer(const QString& strHost)
{
    const QString host = strHost.trimmed();
    return host.isEmpty() || host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@'))
           || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
           || host.startsWith(QLatin1String("127.")) || host == QLatin1String("::1");
}
inline QString DefaultSslMode(const QString& strHost)
{
    return IsThisComputer(strHost) ? QStringLiteral("prefer") : QStringLiteral("verify-full");
}
