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

    void MsgBox(const QString& prompt, int flags, const QString& title) override;
    void SetMousePointer(int) override {}
    void DoEvents() override {}

    // 0 when totals were shown and every line read was imported, 1 when
    // some were not, 2 when no totals were shown.
    int ExitStatus() const;

private:
    struct Totals {
        long long read = 0;
        long long imported = 0;
    };
    static std::optional<Totals> ParseTotals(const QString& prompt, const QString& title);

    std::ostream& m_out;
    std::ostream& m_err;
    std::optional<Totals> m_totals;
};

// The import command without a window: the file rules of a drop, then the
// header check and the import into the ledger under the current folder.
void RunConsoleImport(Desktop& desktop, const QStringList& files, LedgerStoreFactory storeFactory);
