#include "ConnectionString.h"
#include "FileChoice.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

// Whatever the folder holds, the store's reader finds the ledger in it; an
// ordinary folder keeps the string's plain form.
TEST(LedgerConnection, TheStoreReadsEveryFolderBackExactly)
{
    const QString cases[][2] = {
        // folder, the data source as the string writes it
        {"/home/x", "/home/x/Data/iOrvanta.mdb"},
        {"/", "//Data/iOrvanta.mdb"},
        {"/x/it's \"q\" =2", "/x/it's \"q\" =2/Data/iOrvanta.mdb"},
        {"/x/q;x=y", "\"/x/q;x=y/Data/iOrvanta.mdb\""},
        {"/x/a\";Data Source=/b", "\"/x/a\"\";Data Source=/b/Data/iOrvanta.mdb\""},
        {"\"/x\"", "\"\"\"/x\"\"/Data/iOrvanta.mdb\""},
        {"'/x'", "\"'/x'/Data/iOrvanta.mdb\""},
        {QStringLiteral("\u3000/x\t;\n"), QStringLiteral("\"\u3000/x\t;\n/Data/iOrvanta.mdb\"")},
    };
    for (const auto& [folder, dataSource] : cases) {
        SCOPED_TRACE(folder.toStdString());
        const QString connection = LedgerConnectionStringIn(folder);
        EXPECT_EQ(connection, QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + dataSource);
        EXPECT_EQ(DataSourceOf(connection).path, folder + QStringLiteral("/Data/iOrvanta.mdb"));
    }
}

}  // namespace
