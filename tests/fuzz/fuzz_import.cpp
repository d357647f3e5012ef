// A whole import of any file: header check, then ExecImport into a new
// ledger, as one run. Totals must count exactly the trades the ledger holds
// for that run, and the run's record must hold them; a run that ended
// without totals must leave nothing. The ledger must pass SQLite's
// integrity and foreign key checks.
//
// Every text the ledger holds is valid UTF-8, and no name or reading of a
// product, party or kind holds a control character.
//
// The first input byte chooses what goes before the rest: nothing, or the
// purchase or sales header in UTF-8 or in code page 932, so that most
// inputs reach the import.
#include "Desktop.h"
#include "FuzzCheck.h"
#include "ImportFixtures.h"
#include "LedgerProbe.h"
#include "RecordingDesktop.h"
#include "SqliteLedgerStore.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace {

// Keeps every input to a few dozen lines: one run stays fast.
constexpr size_t kLargestInput = 4096;

// One folder for the whole run, on memory when the system offers it: every
// input makes a new ledger.
class ImportFolder {
public:
    ImportFolder()
        : m_dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/fuzz_import-XXXXXX")
                                                          : QDir::tempPath() + QStringLiteral("/fuzz_import-XXXXXX"))
    {
        FUZZ_CHECK(m_dir.isValid());
    }
    QString csv() const { return m_dir.filePath(QStringLiteral("import.csv")); }
    QString data() const { return m_dir.filePath(QStringLiteral("Data")); }
    QString ledger() const { return data() + QStringLiteral("/iOrvanta.mdb"); }

private:
    QTemporaryDir m_dir;
};

const ImportFolder& Folder()
{
    static const ImportFolder folder;
    return folder;
}

QByteArray Prefix(uint8_t choice)
{
    const QString purchase = fixtures::kPurchaseHeader + QStringLiteral("\r\n");
    const QString sales = fixtures::kSalesHeader + QStringLiteral("\r\n");
    switch (choice % 5) {
    case 1: return purchase.toUtf8();
    case 2: return sales.toUtf8();
    case 3: return ToCp932(purchase);
    case 4: return ToCp932(sales);
    default: return QByteArray();
    }
}

// Every text the ledger holds is valid UTF-8; a name or a reading also
// holds no control character.
void CheckStoredTexts(LedgerProbe& probe)
{
    static const QRegularExpression control(QStringLiteral("[\\x00-\\x08\\x0b-\\x1f\\x7f-\\x9f]"));
    const auto check = [&](const char* table, std::initializer_list<const char*> columns, bool names) {
        for (const char* column : columns) {
            const QByteArray sql =
                QStringLiteral("SELECT hex(%1) FROM %2").arg(QLatin1String(column), QLatin1String(table)).toLatin1();
            for (const QString& hex : probe.rows(sql.constData())) {
                const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
                FUZZ_CHECK(QString::fromUtf8(bytes).toUtf8() == bytes);
                FUZZ_CHECK(!names || !QString::fromUtf8(bytes).contains(control));
            }
        }
    };
    check("products", {"name", "maker", "reading", "model", "spec"}, true);
    check("kinds", {"name"}, true);
    check("suppliers", {"name", "reading"}, true);
    check("customers", {"name", "reading"}, true);
    check("rejected_lines", {"record"}, false);
    check("line_reasons", {"value", "column_name"}, false);
    check("runs", {"header_line"}, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > kLargestInput)
        return 0;
    const ImportFolder& folder = Folder();
    const QByteArray bytes = Prefix(data[0]) + QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    {
        QFile file(folder.csv());
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }
    // A new ledger for every input.
    QDir(folder.data()).removeRecursively();
    FUZZ_CHECK(QDir().mkpath(folder.data()));

    RecordingDesktop desktop;
    clsImportSource engine(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
    if (engine.IMPFileCheck(folder.csv()))
        return 0;
    engine.ExecImport(folder.csv(), ConnectionTo(folder.ledger()));

    FUZZ_CHECK(!desktop.messages.empty());
    const std::optional<RunTotals>& totals = engine.Totals();
    if (!totals) {
        // The run ended without totals: nothing of it stays.
        if (QFile::exists(folder.ledger()))
            FUZZ_CHECK(
                LedgerProbe(folder.ledger()).rows("SELECT (SELECT count(*) FROM trades) + (SELECT count(*) FROM runs)")
                == QStringList{QStringLiteral("0")});
        return 0;
    }
    const int read = totals->lngRead;
    const int imported = totals->lngImported;
    FUZZ_CHECK(imported <= read);
    FUZZ_CHECK(imported + totals->lngRefused + totals->lngSkipped == read);

    FUZZ_CHECK(QFile::exists(folder.ledger()));
    LedgerProbe probe(folder.ledger());
    FUZZ_CHECK(probe.rows("SELECT count(*) FROM trades") == QStringList{QString::number(imported)});
    FUZZ_CHECK(probe.rows("SELECT lines_read, lines_imported, (SELECT count(*) FROM trades t WHERE t.run_id = r.run_id)"
                          " FROM runs r")
               == QStringList{QStringLiteral("%1|%2|%2").arg(read).arg(imported)});
    CheckStoredTexts(probe);
    FUZZ_CHECK(probe.rows("PRAGMA integrity_check") == QStringList{QStringLiteral("ok")});
    FUZZ_CHECK(probe.rows("PRAGMA foreign_key_check").isEmpty());
    return 0;
}
