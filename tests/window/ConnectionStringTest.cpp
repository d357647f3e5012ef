#include "ConnectionString.h"
#include "FileChoice.h"
#include "ImportFixtures.h"
#include "RecordingDesktop.h"
#include "SqliteLedgerStore.h"
#include "TestFiles.h"
#include "WindowFixture.h"
#include "clsImportSource.h"

namespace {

const QString kLedger = QStringLiteral("/Data/iOrvanta.mdb");

// Whatever the folder holds, the store finds the ledger in it; an ordinary
// folder keeps the string's plain form.
TEST(LedgerConnection, TheStoreReadsEveryFolderBackExactly)
{
    struct Case {
        QString directory;
        QString dataSource;  // as the string writes it
    };
    const Case cases[] = {
        {QStringLiteral("/home/x"), QStringLiteral("/home/x/Data/iOrvanta.mdb")},
        {QStringLiteral("/"), QStringLiteral("//Data/iOrvanta.mdb")},
        {QStringLiteral("/home/x/売上 2024=済"), QStringLiteral("/home/x/売上 2024=済/Data/iOrvanta.mdb")},
        {QStringLiteral("/home/x/it's \"q\""), QStringLiteral("/home/x/it's \"q\"/Data/iOrvanta.mdb")},
        {QStringLiteral("/tmp/q;x=y"), QStringLiteral("\"/tmp/q;x=y/Data/iOrvanta.mdb\"")},
        {QStringLiteral("/tmp/Sales;2024"), QStringLiteral("\"/tmp/Sales;2024/Data/iOrvanta.mdb\"")},
        {QStringLiteral("/tmp/a\";Data Source=/b"), QStringLiteral("\"/tmp/a\"\";Data Source=/b/Data/iOrvanta.mdb\"")},
        {QStringLiteral(" /tmp/lead"), QStringLiteral("\" /tmp/lead/Data/iOrvanta.mdb\"")},
        {QStringLiteral("\"/tmp\""), QStringLiteral("\"\"\"/tmp\"\"/Data/iOrvanta.mdb\"")},
        {QStringLiteral("'/tmp'"), QStringLiteral("\"'/tmp'/Data/iOrvanta.mdb\"")},
        {QStringLiteral("\u3000/tmp\t;\n"), QStringLiteral("\"\u3000/tmp\t;\n/Data/iOrvanta.mdb\"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.directory.toStdString());
        const QString connection = LedgerConnectionStringIn(c.directory);
        EXPECT_EQ(connection, QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + c.dataSource);
        const DataSourceResult source = DataSourceOf(connection);
        EXPECT_EQ(source.error, QString());
        EXPECT_EQ(source.path, c.directory + kLedger);
    }
}

TEST(LedgerConnection, AnImportInAFolderWithASemicolonWritesTheLedgerInThatFolder)
{
    for (const QString& name : {QStringLiteral("q;x=y"), QStringLiteral("Sales;2024")}) {
        SCOPED_TRACE(name.toStdString());
        const ScratchDir scratch;
        const QString folder = scratch.path(name);
        ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/Data")));
        const CurrentDirectoryScope here(folder);
        const QString csv = scratch.writeUtf8(
            QStringLiteral("sales.csv"),
            fixtures::Lines({fixtures::kSalesHeader,
                             QStringLiteral("2024/04/01,文具,北星,のーと,ノート,N-4,A4,10,120,きたやま,北山商店")}));

        RecordingDesktop desktop;
        clsImportSource engine(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
        ASSERT_FALSE(engine.IMPFileCheck(csv));
        engine.ExecImport(csv, LedgerConnectionString());
        EXPECT_EQ(desktop.prompts(), QStringList{fixtures::Totals(1, 1)});
        EXPECT_TRUE(QFile::exists(folder + kLedger));
        // Nothing beside it, as a cut data source would have made.
        EXPECT_EQ(QDir(scratch.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2);
    }
}

}  // namespace
