#pragma once

#include "clsLedgerHistory.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Desktop;
class QPushButton;
class QTableWidget;

// The ledger's imports, newest first: the chosen one can be undone, and
// its refused lines saved as a file to correct and import again.
class frmHistory : public QDialog {
    Q_OBJECT
public:
    // Gives the path to save the refused lines to, empty to cancel.
    using SaveFileChooser = std::function<QString(const QString& strSuggestedPath)>;

    frmHistory(Desktop& desktop, LedgerHistoryFactory openHistory, QString strConnection, QWidget* parent = nullptr);

    // Reads the runs again; false after the user has been told why it could not.
    bool Reload();
    // Which ledger the runs are of, named in the title.
    void SetLedgerName(const QString& strLedger);
    // Opens the chosen run's detail, as a double-click on it does.
    void ShowDetail();
    void SetSaveFileChooser(SaveFileChooser chooser) { m_chooseSaveFile = std::move(chooser); }

private:
    void BuildControls();
    void ShowRuns();
    void UpdateButtons();
    std::optional<RunSummary> SelectedRun() const;
    void cmdUndo_Click();
    void cmdSaveRejects_Click();
    void SaveRejectsOf(const RunSummary& run);
    // The ledger's history, opened for one operation.
    std::unique_ptr<clsLedgerHistory> OpenHistory();
    void Tell(const QString& strPrompt);

    Desktop& m_desktop;
    LedgerHistoryFactory m_openHistory;
    QString m_strConnection;
    std::vector<RunSummary> m_runs;
    SaveFileChooser m_chooseSaveFile;

    // Owned by this dialog as their parent.
    QTableWidget* grdRuns = nullptr;
    QPushButton* cmdDetail = nullptr;
    QPushButton* cmdUndo = nullptr;
    QPushButton* cmdSaveRejects = nullptr;
    QPushButton* cmdClose = nullptr;
};
