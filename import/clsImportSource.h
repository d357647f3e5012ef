#pragma once

#include "clsLedgerStore.h"
#include "Records.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

class Desktop;
class FileSystemObject;
class TextStream;

// What the look before an import found of one data line.
struct LineCheck {
    enum class Outcome { New, InLedger, Refused };
    int64_t lngLineNumber = 0;
    Outcome outcome = Outcome::New;
    // Refused: its reasons; in the ledger: the run and line it is the same
    // as; new: the names it would add, and those matched another way.
    QString strDetail;
    std::optional<LedgerMatch> inLedger;  // InLedger: the stored trade
};

// What the last import of an engine came to: the totals it showed, or that
// nothing was new to the ledger and the clerk left the file out.
struct RunTotals {
    int32_t lngRead = 0;
    int32_t lngImported = 0;
    int32_t lngRefused = 0;
    int32_t lngSkipped = 0;   // left out as already in the ledger
    int32_t lngAgain = 0;     // in the ledger, and imported again as the clerk chose
};

// The import engine: checks a file's header, which settles purchase or
// sales mode, then imports its data lines through the ledger store as one
// run that goes in whole or not at all.
class clsImportSource {
public:
    // After this many report boxes in one run the rest are not shown.
    static constexpr int kMostReportBoxes = 10;

    clsImportSource(Desktop& desktop, LedgerStoreFactory storeFactory);

    // True when the file is unusable; the user has then been told why.
    bool IMPFileCheck(const QString& strFilePath);
    // True when the file's content was imported before and the user does
    // not want it again. The run looks again once it holds the ledger.
    bool IMPRepeatCheck(const QString& strFilePath, const QString& strConnection);
    // After the repeat check: when lines of the file are the same as stored
    // trades, asks whether only the new ones are to be imported. True when
    // the user cancelled; the run then imports what was chosen, and looks
    // again in its turn.
    bool IMPLineCheck(const QString& strFilePath, const QString& strConnection);
    // The look before an import, line by line, writing nothing: nothing when
    // the file is refused (the user has then been told why).
    std::optional<std::vector<LineCheck>> CheckFile(const QString& strFilePath, const QString& strConnection);
    void ExecImport(const QString& strFilePath, const QString& strConnection);
    bool IsPurchase() const { return mblnPurchase; }
    // The totals the last ExecImport showed; nothing when it showed none.
    const std::optional<RunTotals>& Totals() const { return m_totals; }
    // Whether the line check found no line that was new to the ledger, and
    // the clerk left the file out.
    bool NothingNew() const { return m_blnNothingNew; }

private:
    // What became of one record of the data part.
    enum class LineOutcome { Distributed, Failed, NoData };
    // The run's view of the line being read, and how it reports.
    struct LineContext;
    // A data line read ahead of its store calls, with what it put in the records.
    struct ReadAhead;

    // The store of this command, made and connected at its first need, so
    // that the repeat check and the run tell each reason once.
    clsLedgerStore* StoreFor(const QString& strConnection, bool blnLookOnly = false);
    // Whether the user wants a file imported again that went in before.
    bool AskRepeat(const PriorRun& prior);
    // Begins the run; false when the same content went in meanwhile and the
    // user does not want it again.
    bool BeginRun(clsLedgerStore& store, ImportRunInfo& run);
    // The header's names into line; the header line as it reads.
    QString ReadHeaderNames(LineContext& line);
    // Asks the store about the lines of a window that reached it: their
    // places in the window in looked, what it says of each in order.
    std::vector<LineLook> LookAt(clsLedgerStore& store, const std::vector<ReadAhead>& window,
                                 std::vector<std::size_t>& looked);
    // Every data line read as the run reads it, and the ledger asked of it;
    // nothing when the file cannot be opened (the user has been told).
    // blnMustCompare: a ledger that cannot be asked fails the look instead of
    // leaving every line new.
    std::optional<std::vector<LineCheck>> Survey(const QString& strFilePath, const QString& strConnection,
                                                 bool blnMustCompare);
    // Reads the next data lines, up to lines of them, as the store is told of them at once.
    void ReadWindow(LineContext& line, std::vector<ReadAhead>& window, std::size_t lines, int16_t intRead,
                    TradeRecord& trade, ProductRecord& product, PartyRecord& supplier, PartyRecord& customer,
                    QString& strKind);

    bool OpenImportFile(std::unique_ptr<TextStream>& stream, FileSystemObject& fso,
                        const QString& strFilePath);
    bool CheckHeaderLine(TextStream& stream);
    bool CheckHeaderItem(int16_t intColumn, QStringView strItem);

    LineOutcome ReadDataLine(LineContext& line, TradeRecord& trade, ProductRecord& product,
                             PartyRecord& supplier, PartyRecord& customer, QString& strKind);
    void DispatchField(LineContext& line, int16_t intColumn, QStringView strValue, TradeRecord& trade,
                       ProductRecord& product, PartyRecord& supplier, PartyRecord& customer,
                       QString& strKind);
    void SetTradeValue(LineContext& line, int16_t intColumn, QStringView strValue, TradeRecord& trade);
    void SetProductItem(LineContext& line, int16_t intColumn, QStringView strValue, ProductRecord& product);
    void SetPartyItem(LineContext& line, int16_t intColumn, QStringView strValue, PartyRecord& supplier,
                      PartyRecord& customer);
    // Refuses a value the file cannot have meant: bytes that did not decode,
    // or a control character. True when it did.
    bool RefuseValue(LineContext& line, int16_t intColumn, QStringView strValue);
    // Tells the user of a trapped error in a data line, as far as the run
    // still shows reports, and keeps it as a reason of the line.
    void ReportLine(LineContext& line, const QString& strCode, const std::exception& error,
                    int16_t intColumn, QStringView strValue);
    void ReportLine(LineContext& line, const QString& strCode, const QString& strDescription,
                    int16_t intColumn, QStringView strValue);

    Desktop& m_desktop;
    LedgerStoreFactory m_storeFactory;
    bool mblnPurchase = false;
    std::unique_ptr<clsLedgerStore> m_store;
    QString m_strStoreConnection;
    bool m_blnStoreLooksOnly = false;
    std::optional<RunTotals> m_totals;
    bool m_blnNothingNew = false;

    // What the repeat check found, for the run to look again in its turn.
    std::optional<int64_t> m_lngRepeatOf;
    // After the line check: whether the run leaves out the lines it finds
    // in the ledger in its turn; nothing when no check was made.
    std::optional<bool> m_blnNewOnly;
};
