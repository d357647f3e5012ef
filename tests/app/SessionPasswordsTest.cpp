#include "SessionPasswords.h"

#include <gtest/gtest.h>

namespace {

const QString kServer = QStringLiteral("host=ledger.example dbname=orvanta user=clerk");

// A keyring, a server and a clerk as a test sets them; what each was asked.
struct World {
    Keyring::Status keyring = Keyring::Status::Unavailable;
    QString stored;                     // in the keyring, when found
    QString serverPassword = "s3cret";  // empty: libpq's own ways suffice
    std::vector<std::optional<QString>> typed;
    QStringList prompts;
    QStringList tried;

    SessionPasswords::Ways ways()
    {
        return {[this](const QString&) {
                    return Keyring::Reading{keyring, stored};
                },
                [this](const QString&, const QString& password) {
                    tried << password;
                    if (serverPassword.isEmpty())
                        return PasswordAnswer::Accepted;
                    if (password.isEmpty())
                        return PasswordAnswer::Missing;
                    return password == serverPassword ? PasswordAnswer::Accepted : PasswordAnswer::Wrong;
                },
                [this](const QString& prompt) -> std::optional<QString> {
                    prompts << prompt;
                    if (typed.empty())
                        return std::nullopt;
                    const std::optional<QString> next = typed.front();
                    typed.erase(typed.begin());
                    return next;
                }};
    }
};

TEST(SessionPasswordsTest, AskedOnlyWhereNoKeyringAnswersAndTheServerWantsOne)
{
    struct Case {
        const char* what;
        Keyring::Status keyring;
        QString serverPassword;
        std::vector<std::optional<QString>> typed;
        QString given;
        int asked;
    };
    const Case cases[] = {
        {"the keyring's", Keyring::Status::Found, "s3cret", {}, "from the keyring", 0},
        {"none stored: libpq's ways", Keyring::Status::NotFound, "s3cret", {}, {}, 0},
        {"no keyring, ~/.pgpass suffices", Keyring::Status::Unavailable, {}, {}, {}, 0},
        {"no keyring: asked", Keyring::Status::Unavailable, "s3cret", {QStringLiteral("s3cret")}, "s3cret", 1},
        {"mistyped, then right",
         Keyring::Status::Unavailable,
         "s3cret",
         {QStringLiteral("secert"), QStringLiteral("s3cret")},
         "s3cret",
         2},
        {"cancelled", Keyring::Status::Unavailable, "s3cret", {std::nullopt}, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        World world;
        world.keyring = c.keyring;
        world.stored = QStringLiteral("from the keyring");
        world.serverPassword = c.serverPassword;
        world.typed = c.typed;
        SessionPasswords passwords(world.ways());
        EXPECT_EQ(passwords.PasswordFor(kServer), c.given);
        // The next connection of the click asks no more, a cancel included.
        EXPECT_EQ(passwords.PasswordFor(kServer), c.given);
        EXPECT_EQ(world.prompts.size(), c.asked);
        if (c.asked > 0) {
            EXPECT_TRUE(world.prompts[0].startsWith(
                QStringLiteral("サーバー ledger.example の orvanta（ユーザー clerk） のパスワード")))
                << world.prompts[0].toStdString();
        }
        if (c.asked > 1) {
            EXPECT_TRUE(world.prompts[1].startsWith(QStringLiteral("パスワードが違います。\n")));
        }
    }
}

// Once typed, every later connection of the session has it without asking;
// the next session (nothing was written anywhere) asks again.
TEST(SessionPasswordsTest, AskedOncePerSessionAndKeptNowhereElse)
{
    World world;
    world.typed = {QStringLiteral("s3cret"), QStringLiteral("s3cret")};
    {
        SessionPasswords passwords(world.ways());
        const PasswordSource source = passwords.Source();
        for (int connection = 0; connection < 3; ++connection)
            EXPECT_EQ(source(kServer), QStringLiteral("s3cret"));
        EXPECT_EQ(world.prompts.size(), 1);
        // Another server is asked for its own.
        world.typed = {QStringLiteral("other")};
        world.serverPassword = QStringLiteral("other");
        EXPECT_EQ(source(QStringLiteral("host=branch.example dbname=orvanta")), QStringLiteral("other"));
        EXPECT_EQ(world.prompts.size(), 2);
    }
    world.serverPassword = QStringLiteral("s3cret");
    world.typed = {QStringLiteral("s3cret")};
    SessionPasswords next(world.ways());
    EXPECT_EQ(next.PasswordFor(kServer), QStringLiteral("s3cret"));
    EXPECT_EQ(world.prompts.size(), 3);
}

}  // namespace
