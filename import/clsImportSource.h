#pragma once

#include "ImportFile.h"
#include "ImportPattern.h"
#include "ImportRun.h"
#include "LineSurvey.h"
#include "Records.h"
#include "clsLedgerStore.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Desktop;
struct FileDigest;
class ImportFile;
class LineReader;

// The import engine as the window and the console call it: checks a file's
// header, which settles purchase or sales mode, asks what the ledger makes
// doubtful, then imports the data lines through the ledger store as one run
// that goes in whole or not at all. A face over the stages (the columns, the
// line reader, the look, the run, the texts): only it speaks through Desktop.
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
    // the user left the file out; the run then imports what was chosen, and
    // looks again in its turn.
    bool IMPLineCheck(const QString& strFilePath, const QString& strConnection);
    // The look before an import, line by line, writing nothing: nothing when
    // the file is refused or the ledger cannot be compared with (the user
    // has then been told why).
    std::optional<std::vector<LineCheck>> CheckFile(const QString& strFilePath, const QString& strConnection);
    void ExecImport(const QString& strFilePath, const QString& strConnection);
    bool IsPurchase() const { return mblnPurchase; }

    // The patterns kept in the ledger, asked for when a file's header is not
    // the template's; one that fits reads the file.
    using PatternShelf = std::function<std::vector<ImportPattern>()>;
    void SetPatternShelf(PatternShelf shelf) { m_shelf = std::move(shelf); }
    // The pattern every later file is read with, whatever its header; nothing:
    // the template's, else a pattern that fits.
    void ChoosePattern(std::optional<ImportPattern> pattern) { m_chosenPattern = std::move(pattern); }
    // The sheet of a workbook every later file is read from, by its name or
    // its number; empty: the pattern's, else the first.
    void ChooseSheet(QString strSheet) { m_strSheet = std::move(strSheet); }
    // The pattern the file last checked is read with; nothing for the template's.
    const std::optional<ImportPattern>& Pattern() const { return m_pattern; }
    // Whether the clerk asked, from the box that refused the file, to make a pattern for it.
    bool PatternWanted() const { return m_blnPatternWanted; }
    // The totals the last ExecImport showed; nothing when it showed none.
    const std::optional<RunTotals>& Totals() const { return m_totals; }
    // Whether the line check found no line that was new to the ledger, and
    // the clerk left the file out.
    bool NothingNew() const { return m_blnNothingNew; }

private:
    class Reports;
    class Listener;

    // The store of this command, made and connected at its first need, so
    // that the checks and the run tell each reason once.
    clsLedgerStore* StoreFor(const QString& strConnection, bool blnLookOnly = false);
    // Whether the user wants a file imported again that went in before.
    bool AskRepeat(const PriorRun& prior);
    // The look at every line; nothing when the file cannot be opened (the
    // user has been told). See SurveyLines for blnMustCompare.
    // The file's digest, taken in the same pass, when one is asked for.
    std::optional<std::vector<LineCheck>> Survey(const QString& strFilePath, const QString& strConnection,
                                                 bool blnMustCompare, FileDigest* digest = nullptr);
    // The run of an opened file, whose digest was taken as it was opened.
    void RunFile(ImportFile& file, const QString& strFilePath, const FileDigest& digest, clsLedgerStore& store);

    // Nothing when the file cannot be opened, the user having been told why.
    std::unique_ptr<ImportFile> OpenFile(const QString& strFilePath, FileDigest* digest = nullptr);
    // How a file is read with pattern (or the template's way), in the sheet chosen.
    SourceOptions OptionsFor(const ImportPattern* pattern) const;
    enum class HeaderVerdict { Template, Other, Unread };
    // Unread: the reason has been reported.
    HeaderVerdict CheckHeaderLine(ImportFile& file);
    // The file's header fields at the pattern's header line, read as the
    // pattern says; nothing when they cannot be read.
    std::optional<QStringList> HeaderFor(const QString& strFilePath, const ImportPattern& pattern);
    // A kept pattern that fits a file of another layout, the clerk asked
    // where several fit as well; nothing when none does or the clerk chose none.
    std::optional<ImportPattern> FittingPattern(const QString& strFilePath);
    // True when the file does not fit the pattern chosen for it; the user has been told.
    bool CheckChosenPattern(const QString& strFilePath, const ImportPattern& pattern);
    // The format message, beneath it how to make a pattern, offered where one can be kept.
    void TellFormatDiffers();
    // Reads the file's header, for the reader of the lines below it.
    LineReader LineReaderFor(ImportFile& file) const;
    bool CheckHeaderItem(int16_t intColumn, QStringView strItem);

    Desktop& m_desktop;
    LedgerStoreFactory m_storeFactory;
    bool mblnPurchase = false;
    std::unique_ptr<clsLedgerStore> m_store;
    QString m_strStoreConnection;
    bool m_blnStoreLooksOnly = false;
    // What the checks found, for the run to look again in its turn.
    RunChoice m_choice;
    std::optional<RunTotals> m_totals;
    bool m_blnNothingNew = false;
    PatternShelf m_shelf;
    std::optional<ImportPattern> m_chosenPattern;
    QString m_strSheet;
    std::optional<ImportPattern> m_pattern;
    bool m_blnPatternQuestionDeclined = false;
    bool m_blnPatternWanted = false;
    // The look the repeat check made in the pass that took the file's
    // digest, for the line check after it.
    std::optional<std::vector<LineCheck>> m_looked;
};
