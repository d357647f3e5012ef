#include "LedgerPatterns.h"

#include "LedgerRuns.h"
#include "PatternFile.h"
#include "RuntimeError.h"

#include <variant>

namespace {

// Runs body, a database's failure raised as the store's.
template <typename Body>
auto Answer(Body&& body)
{
    try {
        return body();
    } catch (const DatabaseFailure& failure) {
        throw RuntimeError(ERR_AUTOMATION, failure.message());
    }
}

class EnginePatterns : public clsLedgerPatterns {
public:
    explicit EnginePatterns(std::unique_ptr<LedgerEngine> engine) : m_engine(std::move(engine)) { }

    std::vector<ImportPattern> Patterns() override
    {
        return Answer([&] {
            std::vector<ImportPattern> patterns;
            for (const SqlRow& row : db().query("SELECT pattern FROM import_patterns ORDER BY name")) {
                std::variant<ImportPattern, QString> read = ReadPatternFile(TextOf(row[0]).toUtf8());
                // Kept only after the same check: one that no longer reads is left out, not fatal.
                if (ImportPattern* pattern = std::get_if<ImportPattern>(&read))
                    patterns.push_back(std::move(*pattern));
            }
            return patterns;
        });
    }

    void SavePattern(const ImportPattern& pattern) override
    {
        if (const QString problem = PatternProblem(pattern); !problem.isEmpty())
            throw RuntimeError(ERR_AUTOMATION, problem);
        InTurn([&](LedgerDatabase& db) {
            db.execute("DELETE FROM import_patterns WHERE name = ?1", {pattern.strName});
            db.execute("INSERT INTO import_patterns(name, pattern, saved) VALUES (?1, ?2, ?3)",
                       {pattern.strName, QString::fromUtf8(WritePatternFile(pattern)), LedgerNow()});
            return true;
        });
    }

    bool DeletePattern(const QString& strName) override
    {
        return InTurn([&](LedgerDatabase& db) {
            return db.execute("DELETE FROM import_patterns WHERE name = ?1", {strName}) > 0;
        });
    }

    bool RenamePattern(const QString& strFrom, const QString& strTo) override
    {
        return InTurn([&](LedgerDatabase& db) {
            const std::vector<SqlRow> rows = db.query("SELECT pattern FROM import_patterns WHERE name = ?1", {strFrom});
            if (rows.empty())
                return false;
            if (strFrom == strTo)
                return true;
            if (!db.query("SELECT 1 FROM import_patterns WHERE name = ?1", {strTo}).empty())
                throw RuntimeError(
                    ERR_AUTOMATION,
                    QStringLiteral("取込パターン「%1」はもうあります。別の名前にしてください。").arg(strTo));
            std::variant<ImportPattern, QString> read = ReadPatternFile(TextOf(rows[0][0]).toUtf8());
            ImportPattern* pattern = std::get_if<ImportPattern>(&read);
            if (!pattern)
                throw RuntimeError(ERR_AUTOMATION, std::get<QString>(read));
            pattern->strName = strTo;
            if (const QString problem = PatternProblem(*pattern); !problem.isEmpty())
                throw RuntimeError(ERR_AUTOMATION, problem);
            db.execute("DELETE FROM import_patterns WHERE name = ?1", {strFrom});
            db.execute("INSERT INTO import_patterns(name, pattern, saved) VALUES (?1, ?2, ?3)",
                       {strTo, QString::fromUtf8(WritePatternFile(*pattern)), LedgerNow()});
            return true;
        });
    }

private:
    LedgerDatabase& db() { return m_engine->database(); }

    // A write in the ledger's turn, as an import's, committed when body returns.
    template <typename Body>
    bool InTurn(Body&& body)
    {
        return Answer([&] {
            LedgerDatabase& database = db();
            if (auto busy = WaitForTurn(database, {}))
                throw RuntimeError(ERR_AUTOMATION, *busy);
            try {
                const bool done = body(database);
                database.commit();
                return done;
            } catch (...) {
                database.rollback();
                throw;
            }
        });
    }

    std::unique_ptr<LedgerEngine> m_engine;
};

}  // namespace

std::unique_ptr<clsLedgerPatterns> PatternsOver(std::unique_ptr<LedgerEngine> engine)
{
    return std::make_unique<EnginePatterns>(std::move(engine));
}
