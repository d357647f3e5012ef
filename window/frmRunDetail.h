#pragma once

#include "clsLedgerHistory.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;

// One run's story: what it read and imported, its refused lines with every
// reason, the lines it left out as in the ledger with the trade each
// matched, the names it added and those it matched to stored ones written
// another way.
class frmRunDetail : public QDialog {
    Q_OBJECT
public:
    // saveRejects saves the run's refused lines, as the history's button does.
    frmRunDetail(const RunDetail& detail, std::function<void()> saveRejects, QWidget* parent = nullptr);

    // Above the tables: the file, when, the mode, who, the state and the counts.
    static QString SummaryText(const RunSummary& run);

private:
    void BuildControls(const RunDetail& detail);

    std::function<void()> m_saveRejects;

    // Owned by this dialog as their parent.
    QLabel* lblSummary = nullptr;
    QTabWidget* tabLines = nullptr;
    QTableWidget* grdRejected = nullptr;
    QTableWidget* grdSkipped = nullptr;
    QTableWidget* grdAdded = nullptr;
    QTableWidget* grdMatched = nullptr;
    QPushButton* cmdSaveRejects = nullptr;
    QPushButton* cmdClose = nullptr;
};
