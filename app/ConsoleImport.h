#pragma once

#include "ExitStatus.h"

#include "Desktop.h"
#include "clsImportSource.h"
#include "clsLedgerStore.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>

// A Desktop for a run without a window: every message box becomes one line
// on the error stream, title first, except the totals, which go alone on
// their line to the output stream so that scripts can read them.
class ConsoleDesktop : public Desktop {
public:
    ConsoleDesktop(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) { }

    // A line report names the file as the user gave it, not its full path.
    void ShowFileAs(const QString& strFullPath, const QString& strGivenName);
    // What the user said beforehand of the questions a window would ask.
    enum class Answers {
        None,     // neither: the file as imported before, or lines in the ledger, stop the import
        Again,    // --again: the file again, every line of it
        NewOnly,  // --new-only: the file again, only its lines not in the ledger
    };
    void AnswerWith(Answers answers) { m_answers = answers; }

    // Every question is written, answered or not: with a choice the
    // options took, else with the one that does the least.
    int Ask(const Question& question) override;
    int MsgBox(const QString& prompt, int flags, const QString& title) override;
    int MsgBoxWithDetails(const QString& prompt, int flags, const QString& title, const QString& details) override;
    // The information beneath a box goes to the error stream, the prompt as ever.
    int MsgBoxWithInformation(const QString& prompt, int flags, const QString& title, const QString& informative,
                              const QString& details) override;
    // The totals' sentence goes to the output stream; what is beneath it,
    // which the reports have told already, nowhere.
    int ShowTotals(const QString& prompt, const QString& title, const QString& informative,
                   const QString& details) override;
    // file:line: report（column「value」）, as compilers write theirs.
    void LineReport(const QString& prompt, const LineReportPlace& place) override;
    bool ShowsEveryReport() const override { return true; }
    void SetMousePointer(int) override { }
    void DoEvents() override { }

private:
    // The totals box, whose sentence goes to the output stream.

    std::ostream& m_out;
    std::ostream& m_err;
    QString m_fullPath;
    QString m_givenName;
    Answers m_answers = Answers::None;
};

// The import command without a window: the file rules of a drop, then the
// header check, the questions of a repeat and of lines in the ledger, and
// the import into the ledger under the current folder. Gives the exit
// status: 0 when totals were shown and no line was refused, or when no
// line was new to the ledger and none went in; 1 when some lines were
// refused; 2 when no totals were shown.
// strSheet: a workbook's sheet by name or number; empty: the first.
// How the command line's file is read beside its own header: a workbook's
// sheet, the pattern named for it, the patterns the ledger keeps.
struct ConsoleReading {
    QString strSheet;
    std::optional<ImportPattern> pattern;
    clsImportSource::PatternShelf shelf;

    void ApplyTo(clsImportSource& importSource) const;
};

ExitStatus RunConsoleImport(Desktop& desktop, const QStringList& files, LedgerStoreFactory storeFactory,
                            const ConsoleReading& reading = {});

// That exit status, from what the import came to.
ExitStatus ImportExitStatus(const std::optional<RunTotals>& totals, bool blnNothingNew);
