#pragma once

#include "Desktop.h"
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
    ConsoleDesktop(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    // A line report names the file as the user gave it, not its full path.
    void ShowFileAs(const QString& strFullPath, const QString& strGivenName);
    // What the user said beforehand of the questions a window would ask.
    enum class Answers {
        None,     // neither: the file as imported before, or lines in the ledger, stop the import
        Again,    // --again: the file again, every line of it
        NewOnly,  // --new-only: the file again, only its lines not in the ledger
    };
    void AnswerWith(Answers answers) { m_answers = answers; }

    // Every question is written, answered or not.
    int MsgBox(const QString& prompt, int flags, const QString& title) override;
    int MsgBoxWithDetails(const QString& prompt, int flags, const QString& title,
                          const QString& details) override;
    // file:line: report（column「value」）, as compilers write theirs.
    void LineReport(const QString& prompt, const LineReportPlace& place) override;
    bool ShowsEveryReport() const override { return true; }
    void SetMousePointer(int) override {}
    void DoEvents() override {}

    // 0 when totals were shown and every line read was imported or left
    // out as in the ledger, 1 when some were refused, 2 when no totals
    // were shown.
    int ExitStatus() const;

private:
    struct Totals {
        long long read = 0;
        long long imported = 0;
        bool refused = false;
    };
    static std::optional<Totals> ParseTotals(const QString& prompt, const QString& title, const QString& details);

    std::ostream& m_out;
    std::ostream& m_err;
    std::optional<Totals> m_totals;
    QString m_fullPath;
    QString m_givenName;
    Answers m_answers = Answers::None;
};

// The import command without a window: the file rules of a drop, then the
// header check, the questions of a repeat and of lines in the ledger, and
// the import into the ledger under the current folder.
void RunConsoleImport(Desktop& desktop, const QStringList& files, LedgerStoreFactory storeFactory);
