#pragma once

#include "ColumnMap.h"
#include "RecordSource.h"
#include "Records.h"
#include "clsLedgerStore.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// One data record, read as the columns say. Shows nothing and writes
// nothing: the caller decides who hears of the reasons.
struct ReadLine {
    enum class Outcome { Distributed, Failed, NoData };
    Outcome outcome = Outcome::NoData;
    int64_t lngLineNumber = 0;        // the physical line where the record begins
    QString strRecord;                // as the file has it
    std::vector<LineReason> reasons;  // empty when the line may go to the store
    // The line's values in the fields of the reader's mode: date, kind,
    // quantity, unit price and amount; the product's texts; the party of the
    // mode, carried down from the line above when the line names none.
    TradeRecord trade;
    ProductRecord product;
    PartyRecord party;
    QString strKind;

    bool IsRefused() const { return outcome == Outcome::Failed; }
};

// Turns the records of one file, in order, into lines: the only state it
// keeps from one record to the next is the party a blank name carries down.
class LineReader {
public:
    // headerNames: the file's own names, column 1 first: the template's columns.
    LineReader(bool blnPurchase, const QStringList& headerNames);
    // The fields where map finds them.
    LineReader(bool blnPurchase, ColumnMap map);

    ReadLine Read(const SourceRecord& record);
    // The CSV record that begins at lngLineNumber.
    ReadLine Read(const QString& strRecord, int64_t lngLineNumber);
    // The next record of source; one that cannot be read is a refused line.
    ReadLine ReadNext(RecordSource& source) { return Read(source.Next()); }

    // The file's header record, split into its names.
    static QStringList HeaderNames(const QString& strHeaderLine);

private:
    // What one record says beside the values: of its party, and the amount it gives.
    struct RecordState {
        QString strReading;  // its reading column, waiting for the name beside it
        bool blnGiven = false;
        bool blnUnread = false;
        std::optional<int32_t> givenAmount;
        bool blnTradeUnread = false;  // a quantity, price or amount refused
    };

    void Take(ReadLine& line, RecordState& state, PatternField field, QStringView strValue);
    void TakeTradeValue(ReadLine& line, RecordState& state, PatternField field, QStringView strValue);
    // Past the template's columns: a value the file cannot have meant, or
    // any value past the header's names.
    void CheckExtraColumns(ReadLine& line, const SourceRecord& record, RecordState& state);
    void CheckAmount(ReadLine& line, const RecordState& state);
    // A date in the map's form, as an OLE Automation date; raises error 13.
    double DateInForm(QStringView strValue) const;
    void Refuse(ReadLine& line, const QString& strColumn, const QString& strCode, const QString& strDescription,
                QStringView strValue) const;
    // The party a line ends with, as the next line may carry it down.
    void SettleParty(ReadLine& line, const RecordState& state);

    bool m_blnPurchase;
    ColumnMap m_map;
    PartyRecord m_party;  // carried down
    // The party a blank name carries down came from a line whose party
    // could not be read: there is none to carry.
    bool m_blnCarriedPartyUnread = false;
};

// Reads the next data lines into window (emptied first), as the store is
// told of them at once: up to lines of them and a few megabytes of text,
// and none past the one that passes a run's counter, alreadyRead lines
// having been read before. onRead, when given, hears of each line as it is read.
void ReadWindow(RecordSource& source, LineReader& lineReader, std::vector<ReadLine>& window, std::size_t lines,
                int alreadyRead, const std::function<void(const ReadLine&)>& onRead = {});
