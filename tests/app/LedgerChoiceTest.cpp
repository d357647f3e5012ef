#include "LedgerChoice.h"

#include "PostgresLedgerStore.h"
#include "SqliteLedgerStore.h"
#include "TestFiles.h"

#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

// Settings of the user and of all users in scratch folders, and the
// environment variable as the case sets it; both put back afterwards.
class LedgerChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedVariable = qgetenv(kLedgerServerVariable);
        m_hadVariable = qEnvironmentVariableIsSet(kLedgerServerVariable);
        qunsetenv(kLedgerServerVariable);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_user.root());
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, m_system.root());
    }
    void TearDown() override
    {
        if (m_hadVariable)
            qputenv(kLedgerServerVariable, m_savedVariable);
        else
            qunsetenv(kLedgerServerVariable);
    }

    static void Set(const ScratchDir& scope, const QString& server)
    {
        QSettings settings(scope.path(QStringLiteral("MoraImport/MoraImport.conf")), QSettings::IniFormat);
        settings.setValue(QLatin1String(kLedgerServerSetting), server);
    }

    static bool ChosenIsPostgres()
    {
        const std::unique_ptr<clsLedgerStore> store = ChooseLedgerStore()();
        EXPECT_TRUE(store);
        return dynamic_cast<PostgresLedgerStore*>(store.get()) != nullptr;
    }

    ScratchDir m_user;
    ScratchDir m_system;
    QByteArray m_savedVariable;
    bool m_hadVariable = false;
};

}  // namespace

TEST_F(LedgerChoice, NothingConfiguredKeepsTheSqliteLedger)
{
    EXPECT_EQ(ConfiguredLedgerServer(), QString());
    const std::unique_ptr<clsLedgerStore> store = ChooseLedgerStore()();
    EXPECT_NE(dynamic_cast<SqliteLedgerStore*>(store.get()), nullptr);
}

TEST_F(LedgerChoice, TheUsersSettingComesBeforeAllUsersAndTheVariableBeforeBoth)
{
    Set(m_system, QStringLiteral("host=ledger.example dbname=orvanta"));
    EXPECT_EQ(ConfiguredLedgerServer(), QStringLiteral("host=ledger.example dbname=orvanta"));
    EXPECT_TRUE(ChosenIsPostgres());

    Set(m_user, QStringLiteral("postgresql://clerk@ledger.example/orvanta"));
    EXPECT_EQ(ConfiguredLedgerServer(), QStringLiteral("postgresql://clerk@ledger.example/orvanta"));

    qputenv(kLedgerServerVariable, "  host=other.example  ");
    EXPECT_EQ(ConfiguredLedgerServer(), QStringLiteral("host=other.example"));
    EXPECT_TRUE(ChosenIsPostgres());
}

TEST_F(LedgerChoice, AnEmptyValueMeansTheSqliteLedger)
{
    Set(m_system, QStringLiteral("host=ledger.example"));
    Set(m_user, QStringLiteral(" "));
    EXPECT_EQ(ConfiguredLedgerServer(), QString());
    EXPECT_FALSE(ChosenIsPostgres());

    // Set but empty: this run keeps the SQLite ledger whatever the settings say.
    Set(m_user, QStringLiteral("host=ledger.example"));
    qputenv(kLedgerServerVariable, "");
    EXPECT_EQ(ConfiguredLedgerServer(), QString());
    EXPECT_FALSE(ChosenIsPostgres());
}

TEST_F(LedgerChoice, AHandWrittenSettingIsReadWithItsCommas)
{
    // As an administrator writes it, unquoted, with libpq's list of hosts.
    QDir(m_system.root()).mkdir(QStringLiteral("MoraImport"));
    m_system.writeUtf8(QStringLiteral("MoraImport/MoraImport.conf"),
                       QStringLiteral("[Ledger]\nServer=host=ledger1.example,ledger2.example dbname=orvanta\n"));
    EXPECT_EQ(ConfiguredLedgerServer(), QStringLiteral("host=ledger1.example,ledger2.example dbname=orvanta"));
}
