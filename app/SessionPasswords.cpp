#include "SessionPasswords.h"

#include "Desktop.h"
#include "LedgerPlace.h"

SessionPasswords::Ways SessionPasswords::DesktopWays(Desktop& desktop)
{
    return {Keyring::ReadPassword, TryPassword, [&desktop](const QString& strPrompt) {
                return desktop.AskPassword(strPrompt, QStringLiteral("台帳サーバーのパスワード"));
            }};
}

PasswordSource SessionPasswords::Source()
{
    return [this](const QString& strConnection) { return PasswordFor(strConnection); };
}

QString SessionPasswords::PasswordFor(const QString& strConnection)
{
    const QString key = PasswordKey(strConnection);
    if (key.isEmpty())
        return QString();
    if (const auto typed = m_passwords.find(key); typed != m_passwords.end())
        return typed->second;
    const Keyring::Reading reading = m_ways.readKeyring(key);
    if (reading.status == Keyring::Status::Found)
        return reading.strPassword;
    if (reading.status == Keyring::Status::NotFound || m_libpqSuffices.count(key) != 0)
        return QString();
    // No keyring: ask only a server that wants a password libpq cannot give.
    const PasswordAnswer without = m_ways.tryPassword(strConnection, QString());
    if (without == PasswordAnswer::Accepted)
        m_libpqSuffices.insert(key);
    if (without != PasswordAnswer::Missing)
        return QString();
    return Ask(key, strConnection);
}

QString SessionPasswords::Ask(const QString& strKey, const QString& strConnection)
{
    if (const auto cancelled = m_cancelled.find(strKey);
        cancelled != m_cancelled.end() && std::chrono::steady_clock::now() < cancelled->second + kCancelHolds)
        return QString();
    const LedgerPlace place = PlaceOfConnection(strConnection, QString());
    QString server = ShortPlaceText(place);
    if (!place.strUser.isEmpty())
        server += QStringLiteral("（ユーザー %1）").arg(place.strUser);
    const QString question =
        QStringLiteral("%1 のパスワードを入力してください。\n"
                       "キーリングを使えないため、このセッションの間だけ覚え、どこにも保存しません。")
            .arg(server);
    QString prompt = question;
    for (;;) {
        const std::optional<QString> typed = m_ways.ask(prompt);
        if (!typed) {
            m_cancelled[strKey] = std::chrono::steady_clock::now();
            return QString();
        }
        const PasswordAnswer answer = m_ways.tryPassword(strConnection, *typed);
        if (answer == PasswordAnswer::Wrong || answer == PasswordAnswer::Missing) {
            prompt = QStringLiteral("パスワードが違います。\n") + question;
            continue;
        }
        // Kept even when the server failed otherwise: the import says why.
        m_cancelled.erase(strKey);
        m_passwords[strKey] = *typed;
        return *typed;
    }
}
