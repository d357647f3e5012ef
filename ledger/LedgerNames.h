#pragma once

#include "LedgerEngine.h"

#include <QSet>
#include <QString>

#include <array>
#include <cstdint>
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

// What the store has learnt of the master tables over one connection, and
// how it resolves a name. It holds only rows that exist (in the run's
// transaction, during a run), and rows are never renamed, so a name keeps
// its ID while this is kept.
class LedgerNames {
public:
    // A name longer than this (in UTF-8) cannot be indexed on every engine.
    static constexpr qsizetype kLongestName = 900;

    // How a table's rows are called in messages.
    static QString What(MasterTable table);
    // Why a row cannot be stored as given, or empty when it can.
    static QString Unstorable(MasterTable table, const MasterRow& row);

    // The ID of the row's name, looked up or added (runId 0 outside a run,
    // where the add is a write of its own); 0 with the reason when it cannot.
    int32_t resolve(LedgerEngine& engine, MasterTable table, const MasterRow& row, int64_t runId, QString& reason);
    // The name's ID when it is known without asking the database, else 0.
    int32_t cached(MasterTable table, const QString& name) const
    {
        const auto& ids = m_tables[std::size_t(table)].ids;
        const auto found = ids.find(name);
        return found == ids.end() ? 0 : found->second;
    }
    // Looks up many names at once (each once, none cached) and adds those
    // not stored together, inside the run's transaction, so that resolving
    // them costs no statement. Rows that cannot be stored are left to
    // resolve(), which says why. Throws DatabaseFailure.
    void prepare(LedgerEngine& engine, MasterTable table, const std::vector<MasterRow>& rows, int64_t runId);
    // Whether the ID is stored; throws DatabaseFailure.
    bool known(LedgerEngine& engine, MasterTable table, int32_t id);

    // Products known to carry a kind code, or to be given one by what is queued.
    QSet<int32_t>& productsWithKind() { return m_productsWithKind; }
    // After a run that did not go in, or rows someone else removed.
    void forget();

private:
    struct Table {
        std::unordered_map<QString, int32_t, NameHash> ids;
        QSet<int32_t> known;
    };

    Table& table(MasterTable table) { return m_tables[std::size_t(table)]; }
    // Keeps an ID found or added for name; false, with the reason, when the
    // records cannot carry it.
    bool keep(MasterTable table, const QString& name, int64_t id, QString& reason);

    std::array<Table, kMasterTables.size()> m_tables;
    QSet<int32_t> m_productsWithKind;
};
