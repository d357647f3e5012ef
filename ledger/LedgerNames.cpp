#include "LedgerNames.h"

#include <algorithm>
#include <limits>

namespace {

// The write of a name outside a run: committed, or rolled back however it ends.
class LoneWrite {
public:
    explicit LoneWrite(LedgerEngine& engine) : m_engine(engine) { m_engine.beginLoneWrite(); }
    ~LoneWrite()
    {
        if (!m_committed)
            m_engine.database().rollback();
    }
    LoneWrite(const LoneWrite&) = delete;
    LoneWrite& operator=(const LoneWrite&) = delete;

    void commit()
    {
        m_committed = true;
        m_engine.commitLoneWrite();
    }

private:
    LedgerEngine& m_engine;
    bool m_committed = false;
};

}  // namespace

QString LedgerNames::What(MasterTable table)
{
    switch (table) {
    case MasterTable::Kinds: return QStringLiteral("種別");
    case MasterTable::Products: return QStringLiteral("製品");
    case MasterTable::Suppliers: return QStringLiteral("仕入先");
    case MasterTable::Customers: return QStringLiteral("販売先");
    }
    return QString();
}

QString LedgerNames::Unstorable(MasterTable table, const MasterRow& row)
{
    // A server text cannot hold a NUL; one kept elsewhere would cut what readers see.
    const auto holdsNul = [](const QString& text) { return text.contains(QChar(u'\0')); };
    if (holdsNul(row.strName) || std::any_of(row.fields.begin(), row.fields.end(), holdsNul))
        return QStringLiteral("NUL 文字を含む名前や項目はデータベースに保存できません。");
    if (row.strName.toUtf8().size() > kLongestName)
        return QStringLiteral("%1「%2…」の名前が長すぎます（全角 %3 文字まで）。")
            .arg(What(table), row.strName.left(20))
            .arg(kLongestName / 3);
    return QString();
}

bool LedgerNames::keep(MasterTable which, const QString& name, int64_t id, QString& reason)
{
    if (id <= 0 || id > std::numeric_limits<int32_t>::max()) {
        reason = QStringLiteral("%1「%2」の ID %3 は扱えない値です。").arg(What(which), name).arg(id);
        return false;
    }
    Table& cache = table(which);
    cache.ids.emplace(name, int32_t(id));
    cache.known.insert(int32_t(id));
    return true;
}

int32_t LedgerNames::resolve(LedgerEngine& engine, MasterTable which, const MasterRow& row, int64_t runId,
                             QString& reason)
{
    Table& cache = table(which);
    if (const auto cached = cache.ids.find(row.strName); cached != cache.ids.end())
        return cached->second;
    reason = Unstorable(which, row);
    if (!reason.isEmpty())
        return 0;
    try {
        int64_t id = engine.findMasters(which, {row.strName}).at(0);
        if (id == 0) {
            if (runId != 0) {
                id = engine.addMasters(which, {row}, runId).at(0);
            } else {
                LoneWrite write(engine);
                id = engine.addMasters(which, {row}, 0).at(0);
                write.commit();
            }
        }
        return keep(which, row.strName, id, reason) ? int32_t(id) : 0;
    } catch (const DatabaseFailure& failure) {
        reason = failure.message();
        return 0;
    }
}

void LedgerNames::prepare(LedgerEngine& engine, MasterTable which, const std::vector<MasterRow>& rows,
                          int64_t runId)
{
    std::vector<QString> names;
    std::vector<const MasterRow*> storable;
    for (const MasterRow& row : rows) {
        if (Unstorable(which, row).isEmpty()) {
            names.push_back(row.strName);
            storable.push_back(&row);
        }
    }
    if (names.empty())
        return;
    const std::vector<int64_t> found = engine.findMasters(which, names);
    std::vector<MasterRow> added;
    QString reason;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (found.at(i) == 0)
            added.push_back(*storable[i]);
        else
            keep(which, names[i], found[i], reason);
    }
    if (added.empty())
        return;
    const std::vector<int64_t> ids = engine.addMasters(which, added, runId);
    for (std::size_t i = 0; i < added.size(); ++i)
        keep(which, added[i].strName, ids.at(i), reason);
}

bool LedgerNames::known(LedgerEngine& engine, MasterTable which, int32_t id)
{
    Table& cache = table(which);
    if (cache.known.contains(id))
        return true;
    if (!engine.masterExists(which, id))
        return false;
    cache.known.insert(id);
    return true;
}

void LedgerNames::forget()
{
    for (Table& cache : m_tables) {
        cache.ids.clear();
        cache.known.clear();
    }
    m_productsWithKind.clear();
}
