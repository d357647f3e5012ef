#pragma once

#include "Keyring.h"
#include "LedgerChoice.h"
#include "ServerConnection.h"

#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>

class Desktop;

// The password of a ledger server where no keyring can be reached: asked
// once per server when the server wants one that libpq cannot give
// (~/.pgpass), held in memory for this session only and written nowhere.
// Where a keyring answers, its password (or libpq's ways) as ever.
class SessionPasswords {
public:
    struct Ways {
        std::function<Keyring::Reading(const QString& strKey)> readKeyring;
        std::function<PasswordAnswer(const QString& strConnection, const QString& strPassword)> tryPassword;
        // The prompt; nothing when the user cancelled.
        std::function<std::optional<QString>(const QString& strPrompt)> ask;
    };
    // The desktop's keyring, the server itself, and the desktop's password field.
    static Ways DesktopWays(Desktop& desktop);

    explicit SessionPasswords(Ways ways) : m_ways(std::move(ways)) { }
    SessionPasswords(const SessionPasswords&) = delete;
    SessionPasswords& operator=(const SessionPasswords&) = delete;

    // The password to connect with; empty leaves it to libpq.
    QString PasswordFor(const QString& strConnection);
    // PasswordFor, for the stores; valid while this object lives.
    PasswordSource Source();

    // After a cancel the server is not asked for again this long, so that
    // the connections of one click ask once.
    static constexpr std::chrono::seconds kCancelHolds{30};

private:
    QString Ask(const QString& strKey, const QString& strConnection);

    Ways m_ways;
    std::map<QString, QString> m_passwords;  // by the keyring's key of the server
    std::set<QString> m_libpqSuffices;
    std::map<QString, std::chrono::steady_clock::time_point> m_cancelled;
};
