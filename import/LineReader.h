#pragma once

#include "Records.h"
#include "clsLedgerStore.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class RecordReader;

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
    // headerNames: the file's own names, column 1 first, for the reasons.
    LineReader(bool blnPurchase, QStringList headerNames);

    // The record that begins at lngLineNumber.
    ReadLine Read(const QString& strRecord, int64_t lngLineNumber);
    // The next record of reader; one that cannot be read is a refused line.
    ReadLine ReadNext(RecordReader& reader);

    // The file's header record, split into its names.
    static QStringList HeaderNames(const QString& strHeaderLine);

private:
    // What one record says of its party, beside the values.
    struct PartyState {
        QString strReading;  // its reading column, waiting for the name beside it
        bool blnGiven = false;
        bool blnUnread = false;
    };

    void Take(ReadLine& line, PartyState& party, int16_t intColumn, QStringView strValue);
    void TakeTradeValue(ReadLine& line, int16_t intColumn, QStringView strValue);
    void Refuse(ReadLine& line, int16_t intColumn, const QString& strCode, const QString& strDescription,
                QStringView strValue) const;
    // The party a line ends with, as the next line may carry it down.
    void SettleParty(ReadLine& line, const PartyState& party);

    bool m_blnPurchase;
    QStringList m_headerNames;
    int16_t m_intNamedColumns;  // up to the header's last name, the template's at least
    PartyRecord m_party;        // carried down
    // The party a blank name carries down came from a line whose party
    // could not be read: there is none to carry.
    bool m_blnCarriedPartyUnread = false;
};

// Reads the next data lines into window (emptied first), as the store is
// told of them at once: up to lines of them and a few megabytes of text,
// and none past the one that passes a run's counter, alreadyRead lines
// having been read before. onRead, when given, hears of each line as it is read.
void ReadWindow(RecordReader& reader, LineReader& lineReader, std::vector<ReadLine>& window, std::size_t lines,
                int alreadyRead, const std::function<void(const ReadLine&)>& onRead = {});
