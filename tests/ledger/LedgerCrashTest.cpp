#include "ImportFixtures.h"
#include "LedgerProbe.h"
#include "QtPrinters.h"
#include "RecordingDesktop.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <map>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace fixtures;

constexpr int kDied = 86;

// Makes the process die, as a killed program would, just before the n-th
// write, sync, truncation or removal of any file SQLite changes. Only ever
// set up in a child process.
class DyingVfs {
public:
    explicit DyingVfs(int dieAt) : m_left(dieAt), m_real(sqlite3_vfs_find(nullptr))
    {
        m_vfs = *m_real;
        m_vfs.zName = "dying";
        m_vfs.pAppData = this;
        m_vfs.xOpen = &Open;
        m_vfs.xDelete = &Delete;
        sqlite3_vfs_register(&m_vfs, 1);
    }
    DyingVfs(const DyingVfs&) = delete;
    DyingVfs& operator=(const DyingVfs&) = delete;

private:
    // The real methods with the changing ones replaced; the real file is
    // left as it is, so every other method gets what it expects.
    struct Methods : sqlite3_io_methods {
        DyingVfs* owner;
        const sqlite3_io_methods* real;
    };
    static const Methods& Of(sqlite3_file* file) { return *static_cast<const Methods*>(file->pMethods); }
    static DyingVfs* Owner(sqlite3_vfs* vfs) { return static_cast<DyingVfs*>(vfs->pAppData); }

    void change()
    {
        if (--m_left == 0)
            _exit(kDied);
    }

    static int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags)
    {
        DyingVfs* owner = Owner(vfs);
        const int result = owner->m_real->xOpen(owner->m_real, name, file, flags, outFlags);
        if (file->pMethods) {
            auto [methods, added] = owner->m_methods.try_emplace(file->pMethods);
            if (added) {
                static_cast<sqlite3_io_methods&>(methods->second) = *file->pMethods;
                methods->second.owner = owner;
                methods->second.real = file->pMethods;
                methods->second.xWrite = &Write;
                methods->second.xTruncate = &Truncate;
                methods->second.xSync = &Sync;
            }
            file->pMethods = &methods->second;
        }
        return result;
    }
    static int Delete(sqlite3_vfs* vfs, const char* name, int syncDir)
    {
        Owner(vfs)->change();
        return Owner(vfs)->m_real->xDelete(Owner(vfs)->m_real, name, syncDir);
    }
    static int Write(sqlite3_file* f, const void* b, int n, sqlite3_int64 o)
    {
        Of(f).owner->change();
        return Of(f).real->xWrite(f, b, n, o);
    }
    static int Truncate(sqlite3_file* f, sqlite3_int64 size)
    {
        Of(f).owner->change();
        return Of(f).real->xTruncate(f, size);
    }
    // A sync matters to a power cut, not to a killed process: skipped, to keep the test quick.
    static int Sync(sqlite3_file* f, int)
    {
        Of(f).owner->change();
        return SQLITE_OK;
    }

    int m_left;
    sqlite3_vfs* m_real;
    sqlite3_vfs m_vfs{};
    // One per kind of real file, at an address that stays.
    std::map<const sqlite3_io_methods*, Methods> m_methods;
};

const QStringList kLines = {
    QStringLiteral(
        "2024/5/1,モニター,ソニック,えきしょう,液晶モニター 24型,LM-24,ワイド,2,29800,ほくせいでんき,北星電機"),
    QStringLiteral("2024/5/2,ケーブル,ソニック,けーぶる,ＨＤＭＩケーブル 2m,HC-2,,5,1280,あおばしょうてん,青葉商店"),
    QStringLiteral("2024/5/3,モニター,ソニック,えきしょう,液晶モニター 24型,LM-24,ワイド,1,29800,,北星電機"),
    QStringLiteral("2024/5/4,入力機器,南海工業,まうす,無線マウス,MS-1,USB,3,2480,なんかいしょうかい,南海商会"),
};

// A SqliteLedgerStore that notes a committed run in a file of its own,
// with a system call that no crash after it can take back.
class CommitNotingStore : public SqliteLedgerStore {
public:
    explicit CommitNotingStore(QString notes) : m_notes(std::move(notes)) { }

    void CommitRun(int32_t lngRead, int32_t lngImported, QString& strError, bool& blnFailed) override
    {
        SqliteLedgerStore::CommitRun(lngRead, lngImported, strError, blnFailed);
        if (blnFailed)
            return;
        const int fd = ::open(QFile::encodeName(m_notes).constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd < 0 || ::write(fd, "+", 1) != 1)
            _exit(71);
        ::close(fd);
    }

private:
    QString m_notes;
};

// Whether a ledger lies at path, as far as a crash left one.
bool IsLedger(const QString& path)
{
    return QFileInfo(path).size() > 0
           && LedgerProbe(path).number("PRAGMA application_id") == SqliteLedgerStore::kApplicationId;
}

// An import into Data/ of a fresh folder (or of one holding a ledger of the
// first version), and what a crash leaves there.
class FirstImport {
public:
    explicit FirstImport(bool fromFirstVersion = false)
    {
        if (!QDir(m_dir.root()).mkdir(QStringLiteral("Data")))
            throw std::runtime_error("no Data folder");
        m_file = m_dir.writeCp932(QStringLiteral("sales.csv"), Lines(QStringList{kSalesHeader} + kLines));
        if (fromFirstVersion && !QFile::copy(QStringLiteral(MORA_LEDGER_DATA_DIR "/ledger-v1.mdb"), database()))
            throw std::runtime_error("no first-version ledger");
        if (fromFirstVersion)
            m_tradesBefore = kFirstVersionTrades;
    }

    // The trades of the kept first-version ledger (both samples imported).
    static constexpr int kFirstVersionTrades = 24;

    QString database() const { return m_dir.path(QStringLiteral("Data/iOrvanta.mdb")); }
    QString data() const { return m_dir.path(QStringLiteral("Data")); }

    // The prompts the user saw; a committed run is noted, for a run that is to die.
    QStringList run() const
    {
        RecordingDesktop desktop;
        const QString notes = commitNotes();
        clsImportSource engine(desktop, [&] { return std::make_unique<CommitNotingStore>(notes); });
        if (!engine.IMPFileCheck(m_file))
            engine.ExecImport(m_file, ConnectionTo(database()));
        return desktop.prompts();
    }

    // What a crash left: the run whole or not at all (whole for certain
    // when its commit was noted), a sound database; then what the next
    // import must find: every line taken and nothing of the crash left
    // beside the ledger.
    void expectRecovered(int dieAt) const
    {
        SCOPED_TRACE(dieAt);
        const bool committed = QFileInfo::exists(commitNotes());
        long long runsBefore = 0;
        if (IsLedger(database())) {
            LedgerProbe probe(database());
            const long long trades = probe.number("SELECT count(*) FROM trades");
            EXPECT_TRUE(trades == m_tradesBefore || trades == m_tradesBefore + kLines.size()) << trades;
            if (committed) {
                EXPECT_EQ(trades, m_tradesBefore + kLines.size());
            }
            if (probe.number("PRAGMA user_version") >= 2) {
                runsBefore = probe.number("SELECT count(*) FROM runs");
                EXPECT_EQ(runsBefore * kLines.size(), trades - m_tradesBefore);
                EXPECT_EQ(probe.number("SELECT count(*) FROM trades WHERE run_id IS NULL"), m_tradesBefore);
            }
            EXPECT_EQ(probe.value("PRAGMA integrity_check"), QStringLiteral("ok"));
            EXPECT_TRUE(probe.rows("PRAGMA foreign_key_check").isEmpty());
        } else {
            EXPECT_FALSE(committed);
        }
        EXPECT_EQ(run(), QStringList{Totals(kLines.size(), kLines.size())});
        {
            LedgerProbe probe(database());
            EXPECT_EQ(probe.number("SELECT count(*) FROM runs"), runsBefore + 1);
            EXPECT_EQ(probe.number("SELECT count(*) FROM trades"), m_tradesBefore + (runsBefore + 1) * kLines.size());
            EXPECT_EQ(probe.value("PRAGMA integrity_check"), QStringLiteral("ok"));
            EXPECT_TRUE(probe.rows("PRAGMA foreign_key_check").isEmpty());
            EXPECT_EQ(probe.rows("SELECT trade_date FROM (SELECT trade_date, trade_id FROM trades"
                                 " ORDER BY trade_id DESC LIMIT 4) ORDER BY trade_id"),
                      QStringList({"2024-05-01", "2024-05-02", "2024-05-03", "2024-05-04"}));
        }
        EXPECT_EQ(QDir(data()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("iOrvanta.mdb")});
    }

    // The ledger after a kill during the upgrade of the first-version
    // file: still the first version with all its trades, or the second whole.
    void expectFirstVersionOrUpgraded(int dieAt) const
    {
        SCOPED_TRACE(dieAt);
        LedgerProbe probe(database());
        const long long version = probe.number("PRAGMA user_version");
        const QStringList tables = probe.rows("SELECT name FROM sqlite_schema WHERE type = 'table' ORDER BY name");
        if (version == 1) {
            EXPECT_EQ(tables, QStringList({"customers", "kinds", "products", "suppliers", "trades"}));
        } else {
            EXPECT_EQ(version, SqliteLedgerStore::kSchemaVersion);
            EXPECT_EQ(tables,
                      QStringList({"customers", "import_patterns", "kinds", "line_reasons", "matched_names", "products",
                                   "rejected_lines", "runs", "skipped_lines", "suppliers", "trades"}));
            EXPECT_EQ(probe.number("SELECT count(*) FROM trades WHERE run_id IS NULL"), kFirstVersionTrades);
        }
        EXPECT_EQ(probe.number("SELECT count(*) FROM trades"), kFirstVersionTrades);
        EXPECT_EQ(probe.value("PRAGMA integrity_check"), QStringLiteral("ok"));
        EXPECT_TRUE(probe.rows("PRAGMA foreign_key_check").isEmpty());
    }

private:
    QString commitNotes() const { return m_dir.path(QStringLiteral("committed")); }

    ScratchDir m_dir;
    QString m_file;
    int m_tradesBefore = 0;
};

// Kills at every step in turn until the step count runs past the end, then
// checks what each kill left with expect.
template <typename Body, typename Expect>
void KillAtEveryChange(const Body& body, const Expect& expect, bool fromFirstVersion = false)
{
    int dieAt = 1;
    for (; dieAt < 1000; ++dieAt) {
        FirstImport import(fromFirstVersion);
        // The child's SQLite dies at its dieAt-th change.
        const int status = RunInChild([&] {
            const DyingVfs dying(dieAt);
            body(import);
            return 0;
        });
        if (status == 0)
            break;
        ASSERT_EQ(status, kDied) << "at change " << dieAt;
        expect(import, dieAt);
        if (::testing::Test::HasFailure())
            return;
    }
    EXPECT_GT(dieAt, 5) << "the body made too few changes to test anything";
}

void ExpectRecovered(const FirstImport& import, int dieAt) { import.expectRecovered(dieAt); }

}  // namespace

TEST(LedgerCrash, AFirstImportKilledAtAnyChangeLeavesItsRunWholeOrNothingAndTheNextTakesEveryLine)
{
    KillAtEveryChange([](const FirstImport& import) { import.run(); }, ExpectRecovered);
}

TEST(LedgerCrash, AnImportIntoAFirstVersionLedgerKilledAtAnyChangeLeavesItWholeInEitherVersion)
{
    KillAtEveryChange([](const FirstImport& import) { import.run(); }, ExpectRecovered, true);
}

TEST(LedgerCrash, AnUpgradeKilledAtAnyChangeLeavesTheFirstVersionOrTheSecondWhole)
{
    KillAtEveryChange(
        [](const FirstImport& import) {
            SqliteLedgerStore store;
            Open(store, ConnectionTo(import.database()));
        },
        [](const FirstImport& import, int dieAt) { import.expectFirstVersionOrUpgraded(dieAt); }, true);
}

// What a creation made straight at the ledger's name left behind: an empty
// file, or a half-made database beside a hot journal.
TEST(LedgerCrash, AHalfMadeDatabaseBesideItsJournalIsRecoveredAndMadeALedger)
{
    KillAtEveryChange(
        [](const FirstImport& import) {
            sqlite3* raw = nullptr;
            sqlite3_open(QFile::encodeName(import.database()).constData(), &raw);
            const SqliteDatabase db(raw);
            sqlite3_exec(raw,
                         "PRAGMA page_size = 1024; BEGIN IMMEDIATE;"
                         " CREATE TABLE kinds(kind_code INTEGER PRIMARY KEY, name TEXT);"
                         " CREATE TABLE trades(trade_id INTEGER PRIMARY KEY, trade_date TEXT);"
                         " INSERT INTO kinds(name) VALUES ('モニター'); COMMIT;",
                         nullptr, nullptr, nullptr);
        },
        ExpectRecovered);
}

TEST(LedgerCrash, LeftoversOfAnEarlierCreationAreRemoved)
{
    FirstImport import;
    for (const char* name : {"iOrvanta.mdb.creating-99999", "iOrvanta.mdb.creating-99999-journal"}) {
        QFile file(import.data() + QLatin1Char('/') + QString::fromUtf8(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("left by a creation that died");
    }
    import.expectRecovered(0);
}

TEST(LedgerCrash, AnEmptyFileWithoutAJournalIsNoLedgerYet)
{
    FirstImport import;
    QFile file(import.database());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    import.expectRecovered(0);
    EXPECT_EQ(LedgerProbe(import.database()).number("PRAGMA application_id"), SqliteLedgerStore::kApplicationId);
}
