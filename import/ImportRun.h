#pragma once

#include "LineReader.h"
#include "StoreCalls.h"
#include "clsLedgerStore.h"

#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class RecordSource;

// What a run came to: the totals it shows, as a value.
struct RunTotals {
    int32_t lngRead = 0;
    int32_t lngImported = 0;
    int32_t lngRefused = 0;
    int32_t lngSkipped = 0;  // left out as already in the ledger
    int32_t lngAgain = 0;    // in the ledger, and imported again as the clerk chose
};

// A committed run: its totals and, for the box's details, the first of its
// refused and skipped lines and the names it matched written another way.
struct RunResult {
    // The details list at most this many lines of each; the history gives them all.
    static constexpr std::size_t kMostDetailLines = 500;

    RunTotals totals;
    std::vector<RejectedLine> firstRefused;
    std::vector<SkippedLine> firstSkipped;
    QStringList matchedNames;
};

// Whoever drives a run hears of it as it goes, and decides what the run cannot.
class RunListener {
public:
    virtual ~RunListener() = default;
    // A line as it is read, before the store hears of it.
    virtual void LineRead(const ReadLine& line) = 0;
    // After each line, and while the run waits for the ledger's turn.
    virtual void Breathe() = 0;
    // The same content went in since the clerk was asked: import it again?
    virtual bool ImportAgain(const PriorRun& prior) = 0;
};

// What the clerk chose before the run: the run of the same content the
// repeat check found (0: none; nothing: no check was made), and whether
// lines in the ledger are left out (nothing: no line check was made).
struct RunChoice {
    std::optional<int64_t> lngRepeatOf;
    std::optional<bool> blnNewOnly;
};

// The run over a store: every data line of a checked file in order, as one
// run that goes in whole or not at all. Shows nothing; raises what ends it
// without totals (the store's failures as the automation error, the read
// counter's overflow), after abandoning the run.
class ImportRun {
public:
    ImportRun(StoreCalls& store, bool blnPurchase, RunListener& listener);

    // Nothing when the clerk did not want the file again.
    std::optional<RunResult> Run(RecordSource& source, LineReader& lineReader, ImportRunInfo info,
                                 const RunChoice& choice);

private:
    // The lines of a window that the ledger holds already (those to leave
    // out), counting those to import again where the clerk chose so.
    std::vector<std::optional<LedgerMatch>> LinesInLedger(const std::vector<ReadLine>& window, const RunChoice& choice,
                                                          RunResult& result);
    void ImportLine(ReadLine& line, RunResult& result);
    void Refuse(const ReadLine& line, std::vector<LineReason> reasons, RunResult& result);
    void Skip(const ReadLine& line, const LedgerMatch& match, RunResult& result);

    StoreCalls& m_store;
    bool m_blnPurchase;
    RunListener& m_listener;
    // The records as the store sees them: the store's IDs stay in them from line to line.
    TradeRecord m_trade;
    ProductRecord m_product;
    PartyRecord m_supplier;
    PartyRecord m_customer;
    QString m_strKind;
    int16_t m_intRead = 0;
    int16_t m_intImported = 0;
    bool m_blnLedgerHeldTrades = true;
};
