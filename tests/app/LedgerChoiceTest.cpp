#include "LedgerChoice.h"

#include "EnvironmentScope.h"
#include "PostgresLedgerStore.h"
#include "QtPrinters.h"
#include "SqliteLedgerStore.h"
#include "TestFiles.h"

#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

// Settings of the user and of all users in scratch folders, and the
// environment variable unset until a case sets it; all put back afterwards.
class LedgerChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_user.root());
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, m_system.root());
    }

    static void Set(const ScratchDir& scope, const QString& server)
    {
        QSettings settings(scope.path(QStringLiteral("MoraImport/MoraImport.conf")), QSettings::IniFormat);
        settings.setValue(QLatin1String(kLedgerServerSetting), server);
    }

    // The server the program would use, and whether its store is the server's.
    static std::pair<QString, bool> Chosen()
    {
        const std::unique_ptr<clsLedgerStore> store = ChooseLedgerStore()();
        const bool server = dynamic_cast<PostgresLedgerStore*>(store.get()) != nullptr;
        EXPECT_TRUE(server || dynamic_cast<SqliteLedgerStore*>(store.get()));
        return {ConfiguredLedgerServer().strConnection, server};
    }

    ScratchDir m_user;
    ScratchDir m_system;
    EnvironmentScope m_variable{kLedgerServerVariable, std::nullopt};
};

using Choice = std::pair<QString, bool>;
const Choice kSqlite{QString(), false};

}  // namespace

TEST_F(LedgerChoice, TheVariableComesBeforeTheUsersSettingAndThatBeforeAllUsers)
{
    EXPECT_EQ(Chosen(), kSqlite);

    Set(m_system, QStringLiteral("host=ledger.example dbname=orvanta"));
    EXPECT_EQ(Chosen(), Choice(QStringLiteral("host=ledger.example dbname=orvanta"), true));

    Set(m_user, QStringLiteral("postgresql://clerk@ledger.example/orvanta"));
    EXPECT_EQ(Chosen(), Choice(QStringLiteral("postgresql://clerk@ledger.example/orvanta"), true));

    qputenv(kLedgerServerVariable, "  host=other.example  ");
    EXPECT_EQ(Chosen(), Choice(QStringLiteral("host=other.example"), true));

    // Set but empty: this run keeps the SQLite ledger whatever the settings say.
    qputenv(kLedgerServerVariable, "");
    EXPECT_EQ(Chosen(), kSqlite);
}

TEST_F(LedgerChoice, AnEmptySettingMeansTheSqliteLedger)
{
    Set(m_system, QStringLiteral("host=ledger.example"));
    Set(m_user, QStringLiteral(" "));
    EXPECT_EQ(Chosen(), kSqlite);
}

TEST_F(LedgerChoice, AHandWrittenSettingIsReadWithItsCommas)
{
    // As an administrator writes it, unquoted, with libpq's list of hosts.
    QDir(m_system.root()).mkdir(QStringLiteral("MoraImport"));
    m_system.writeUtf8(QStringLiteral("MoraImport/MoraImport.conf"),
                       QStringLiteral("[Ledger]\nServer=host=ledger1.example,ledger2.example dbname=orvanta\n"));
    EXPECT_EQ(ConfiguredLedgerServer().strConnection, QStringLiteral("host=ledger1.example,ledger2.example dbname=orvanta"));
}

TEST_F(LedgerChoice, TheSchemaIsPublicUnlessTheSettingOrTheVariableNamesOne)
{
    Set(m_user, QStringLiteral("host=ledger.example"));
    EXPECT_EQ(ConfiguredLedgerServer().strSchema, QStringLiteral("public"));
    QSettings(m_user.path(QStringLiteral("MoraImport/MoraImport.conf")), QSettings::IniFormat)
        .setValue(QLatin1String(kLedgerSchemaSetting), QStringLiteral("orvanta"));
    EXPECT_EQ(ConfiguredLedgerServer().strSchema, QStringLiteral("orvanta"));

    // The variables go together: the server of one and the schema of the settings would be a guess.
    const EnvironmentScope schema(kLedgerSchemaVariable, std::nullopt);
    qputenv(kLedgerServerVariable, "host=other.example");
    EXPECT_EQ(ConfiguredLedgerServer().strSchema, QStringLiteral("public"));
    qputenv(kLedgerSchemaVariable, "branch2");
    EXPECT_EQ(ConfiguredLedgerServer().strSchema, QStringLiteral("branch2"));
}
