#include "Desktop.h"
#include "PostgresConnection.h"

#include <gtest/gtest.h>

namespace {

// Each refusal of a server, in libpq's English or Japanese, gets one prompt
// that says what to do; its own words follow for the details only.
TEST(ConnectFailureText, EachRefusalOfAServerIsToldInPlainJapanese)
{
    struct Case {
        const char* message;
        bool needsPassword;
        bool usedPassword;
        ConnectFailure failure;
        QString prompt;
    };
    const Case cases[] = {
        {"could not translate host name \"ledgr.example\" to address: Name or service not known", false, false,
         ConnectFailure::HostNotFound,
         QStringLiteral("台帳サーバー「ledger.example」が見つかりません。台帳の場所でホスト名を確かめてください。")},
        {"ホスト名\"ledgr\"をアドレスに変換できませんでした: 名前またはサービスが不明です",
         false,
         false,
         ConnectFailure::HostNotFound,
         {}},
        {"connection to server at \"10.0.0.5\", port 5432 failed: Connection refused", false, false,
         ConnectFailure::Refused,
         QStringLiteral("台帳サーバー「ledger."
                        "example」に接続できません。サーバーが動いているか、台帳の場所でポートを確かめてください。")},
        {"connection to server at \"10.0.0.5\", port 5432 failed: timeout expired", false, false,
         ConnectFailure::Timeout,
         QStringLiteral(
             "台帳サーバー「ledger.example」から応答がありません。ネットワークとサーバーを確かめてください。")},
        {"fe_sendauth: no password supplied", true, false, ConnectFailure::NoPassword,
         QStringLiteral("台帳サーバーのパスワードがありません。台帳の場所で入力してください。")},
        {"FATAL:  password authentication failed for user \"clerk\"", false, true, ConnectFailure::WrongPassword,
         QStringLiteral("台帳サーバーのパスワードが違います。台帳の場所で確かめてください。")},
        {"FATAL:  ユーザー\"clerk\"のパスワード認証に失敗しました", false, true, ConnectFailure::WrongPassword, {}},
        {"root certificate file \"/root/.postgresql/root.crt\" does not exist", false, false,
         ConnectFailure::Certificate,
         QStringLiteral("台帳サーバーの証明書を信頼できません。台帳の場所で事務所の CA 証明書を確かめてください。")},
        {"SSL error: certificate verify failed", false, false, ConnectFailure::Certificate, {}},
        {"FATAL:  database \"orvanta\" does not exist", false, false, ConnectFailure::NoDatabase,
         QStringLiteral("台帳サーバーにデータベース「orvanta」がありません。台帳の場所で確かめてください。")},
        {"FATAL:  role \"clerk\" does not exist", false, false, ConnectFailure::NoUser,
         QStringLiteral("台帳サーバーにユーザー「clerk」がありません。台帳の場所で確かめてください。")},
        {"FATAL:  no pg_hba.conf entry for host \"10.0.0.9\", user \"clerk\", database \"orvanta\", SSL encryption",
         false, false, ConnectFailure::NoPermission,
         QStringLiteral("台帳サーバーがこの接続を許していません。事務所の管理者に確かめてください。")},
        {"FATAL:  permission denied for database \"orvanta\"", false, false, ConnectFailure::NoPermission, {}},
        {"server closed the connection unexpectedly", false, false, ConnectFailure::Other,
         QStringLiteral("台帳サーバーに接続できません。台帳の場所を確かめてください。")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const ConnectFailure failure = ConnectFailureOf(QByteArray(c.message), c.needsPassword, c.usedPassword);
        EXPECT_EQ(int(failure), int(c.failure));
        if (!c.prompt.isEmpty()) {
            const QString prompt = ConnectFailurePrompt(failure, QStringLiteral("ledger.example"),
                                                        QStringLiteral("orvanta"), QStringLiteral("clerk"));
            EXPECT_EQ(prompt, c.prompt);
            EXPECT_FALSE(prompt.contains(QLatin1String(c.message)));
        }
    }
}

// What libpq said stays with the reason, for the box's details.
TEST(ConnectFailureText, TheServersOwnWordsFollowThePromptForTheDetails)
{
    const PgConnection c(PQconnectdb("host=127.0.0.1 port=1 dbname=orvanta connect_timeout=5"));
    ASSERT_NE(PQstatus(c.get()), CONNECTION_OK);
    const auto [prompt, words] = SplitServerWords(ConnectFailureText(c.get(), LedgerServer{}));
    EXPECT_EQ(prompt,
              QStringLiteral("台帳サーバー「127.0.0."
                             "1」に接続できません。サーバーが動いているか、台帳の場所でポートを確かめてください。"));
    EXPECT_TRUE(words.startsWith(QStringLiteral("サーバーの応答: "))) << words.toStdString();
    EXPECT_TRUE(words.contains(QStringLiteral("127.0.0.1"))) << words.toStdString();
}

}  // namespace
