#pragma once

#include "LedgerFailure.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <variant>
#include <vector>

// The SQL the ledger's own logic needs of a database engine, so that runs,
// their refused lines, the history, undo and schema upgrades are written
// once for both engines. Statements are written with ?1, ?2 ... for
// parameters and in SQL both engines read alike.

// A parameter or a column: NULL, an integer or a text.
using SqlValue = std::variant<std::monostate, int64_t, QString>;
using SqlRow = std::vector<SqlValue>;

// UTF-8 from a database as it is: QString::fromUtf8 would drop a leading
// U+FEFF, taking it for a byte order mark.
QString TextFromUtf8(const char* text, qsizetype size = -1);

// A column as an integer (0 for NULL); engines that answer in text are read too.
int64_t IntegerOf(const SqlValue& value);
// A column as a text (empty for NULL).
QString TextOf(const SqlValue& value);
inline bool IsNull(const SqlValue& value) { return std::holds_alternative<std::monostate>(value); }

class LedgerDatabase {
public:
    virtual ~LedgerDatabase() = default;

    // Rows of a query; throws DatabaseFailure. Texts go in and come back exactly.
    virtual std::vector<SqlRow> query(const char* sql, const std::vector<SqlValue>& parameters = {}) = 0;
    // The number of rows a statement changed; throws DatabaseFailure.
    virtual int64_t execute(const char* sql, const std::vector<SqlValue>& parameters = {}) = 0;

    // Opens a transaction holding the ledger's write turn when no one else
    // holds it: false, with nothing open, when another run or undo has it.
    // May itself wait a moment (well under kTurnPollMs) before saying so.
    virtual bool tryBeginTurn() = 0;
    // Throws DatabaseFailure; the transaction is over either way.
    virtual void commit() = 0;
    virtual void rollback() noexcept = 0;

    // The column type of a table's own ID, generated on insert.
    virtual const char* idColumnType() const = 0;
    // Marks the ledger with its schema version, inside the transaction.
    virtual void setSchemaVersion(int version) = 0;
    // What an upgrade to version needs of this engine alone, inside the transaction.
    virtual void upgradeOwnSchema(int version) { (void)version; }
    // Before the undo of a run removes rows in its turn: keeps the IDs given
    // so far from being given again, for an engine that would reuse them.
    virtual void keepGivenIds(int64_t runId) { (void)runId; }
};

// How long a run or undo waits for the ledger's turn, and how often it lets
// the window breathe meanwhile.
constexpr std::chrono::milliseconds kTurnPatience{60000};
constexpr std::chrono::milliseconds kTurnPollMs{50};

// Opens a turn on db, calling whileWaiting about every kTurnPollMs while
// another holds it. The reason, for the user, when patience ran out.
std::optional<QString> WaitForTurn(LedgerDatabase& db, const std::function<void()>& whileWaiting,
                                   std::chrono::milliseconds patience = kTurnPatience);
