#pragma once

#include <QString>

// The desktop's keyring (the Secret Service, KWallet) through QtKeychain,
// for the passwords of ledger servers. Each call waits for the keyring's
// answer, letting events through meanwhile; it needs the application object.
namespace Keyring {

enum class Status { Found, NotFound, Unavailable };

struct Reading {
    Status status = Status::Unavailable;
    QString strPassword;  // when found
};

Reading ReadPassword(const QString& strKey);
// Empty when stored; else what went wrong, in Japanese.
QString WritePassword(const QString& strKey, const QString& strPassword);
// A keyring answers here (none does in an SSH session without a session bus).
bool Available();

}  // namespace Keyring
