#pragma once

#include "LedgerEngine.h"

#include <QSet>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

// Every line looks its names up: Qt's string hash, made to withstand chosen
// keys, costs more per line than the trade's own insert.
struct NameHash {
    std::size_t operator()(const QString& name) const noexcept
    {
        return std::hash<std::u16string_view>()(
            std::u16string_view(reinterpret_cast<const char16_t*>(name.constData()), std::size_t(name.size())));
    }
};

// A name that resolved to a stored master written another way.
struct NameMatch {
    MasterTable table = MasterTable::Products;
    QString strGiven;
    QString strStored;
    int32_t id = 0;
};

// What the store has learnt of the master tables over one connection, and
// how it resolves a name: by its key, so that one master serves a name
// however it is written. It holds only rows that exist (in the run's
// transaction, during a run), and rows are never renamed, so a name keeps
// its ID while this is kept.
class LedgerNames {
public:
    // A name (or its key) longer than this in UTF-8 cannot be indexed on every engine.
    static constexpr qsizetype kLongestName = 900;

    // How a table's rows are called in messages.
    static QString What(MasterTable table);
    // Why a row cannot be stored as given, or empty when it can.
    static QString Unstorable(MasterTable table, const MasterRow& row);
    // The key a master is found by: the name in Unicode NFKC (full-width
    // letters and digits half-width, half-width katakana full-width), every
    // space removed, the signs that code page 932 and UTF-8 files write as
    // different characters (〜 ～, − －, ‖ ∥, — ―, ¢ ￠, £ ￡, ¬ ￢) read as
    // one, and (株) and (有), however written, read as 株式会社 and 有限会社
    // where they stand. Nothing else is folded.
    static QString NameKey(const QString& name);
    // The same, computed once for each name this store meets: a name met
    // again costs one hash look-up.
    const QString& keyOf(const QString& name);
    // Unstorable, with the key from keyOf.
    QString unstorable(MasterTable table, const MasterRow& row);
    // The master a name resolves to among those of its key (not empty):
    // the one stored exactly as given, else the oldest.
    static const FoundMaster& MasterOf(const KeyMasters& masters, const QString& name);
    // How a match is told: 販売先「ＡＢＣ商事」→「ABC商事」.
    static QString MatchText(const NameMatch& match);

    // The ID of the row's name's master, looked up by its key or added
    // (runId 0 outside a run, where the add is a write of its own); 0 with
    // the reason when it cannot. When not mayAdd, a name no master has
    // gives 0 and no reason.
    int32_t resolve(LedgerEngine& engine, MasterTable table, const MasterRow& row, int64_t runId, QString& reason,
                    bool mayAdd = true);
    // The name's ID when it is known without asking the database, else 0.
    int32_t cached(MasterTable table, const QString& name) const
    {
        const auto& ids = m_tables[std::size_t(table)].ids;
        const auto found = ids.find(name);
        return found == ids.end() ? 0 : found->second;
    }
    // Resolves many names at once (each once, none cached), inside the
    // run's transaction, adding those new together, so that resolving them
    // later costs no statement. Rows that cannot be stored are left to
    // resolve(), which says why. Throws DatabaseFailure.
    void prepare(LedgerEngine& engine, MasterTable table, const std::vector<MasterRow>& rows, int64_t runId);
    // The masters of each name's key, adding none. Throws DatabaseFailure.
    std::vector<KeyMasters> lookUp(LedgerEngine& engine, MasterTable table, const std::vector<QString>& names);
    // Whether the ID is stored; throws DatabaseFailure.
    bool known(LedgerEngine& engine, MasterTable table, int32_t id);

    // The names resolved to a master written another way since forget(),
    // each once, in the order met.
    const std::vector<NameMatch>& matches() const { return m_matches; }
    // Products known to carry a kind code, or to be given one by what is queued.
    QSet<int32_t>& productsWithKind() { return m_productsWithKind; }
    // Masters the open run added that none of its trades uses yet: a run
    // keeps only what its trades use.
    const QSet<int32_t>& unused(MasterTable table) const { return m_unused[std::size_t(table)]; }
    void use(MasterTable table, int32_t id)
    {
        QSet<int32_t>& unused = m_unused[std::size_t(table)];
        if (!unused.isEmpty())
            unused.remove(id);
    }
    // After a run that did not go in, or rows someone else removed.
    void forget();

private:
    struct Table {
        std::unordered_map<QString, int32_t, NameHash> ids;
        // By key: the masters found (none stored when asked, when empty).
        std::unordered_map<QString, KeyMasters, NameHash> keys;
        QSet<int32_t> known;
    };

    Table& table(MasterTable table) { return m_tables[std::size_t(table)]; }
    static QString StorableProblem(MasterTable table, const MasterRow& row,
                                   const std::function<QString(const QString&)>& key);
    // Finds the masters of keys not asked for yet, and remembers them.
    void findKeys(LedgerEngine& engine, MasterTable table, const std::vector<QString>& keys);
    // Keeps the master that name resolves to among those found or added:
    // its ID, or 0 with the reason when there is none or the records cannot
    // carry its ID.
    int32_t keep(MasterTable table, const QString& name, const KeyMasters& masters, QString& reason);
    // The masters an add gave, those it added noted as unused by the run.
    KeyMasters noteAdded(MasterTable table, KeyMasters masters, int64_t runId);

    std::array<Table, kMasterTables.size()> m_tables;
    // Keys depend on nothing stored: they outlive forget().
    std::unordered_map<QString, QString, NameHash> m_keys;
    std::vector<NameMatch> m_matches;
    QSet<int32_t> m_productsWithKind;
    std::array<QSet<int32_t>, kMasterTables.size()> m_unused;
};
