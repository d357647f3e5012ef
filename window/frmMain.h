#pragma once

#include "LedgerPlace.h"
#include "clsLedgerHistory.h"
#include "clsLedgerStore.h"

#include <QStringList>
#include <QWidget>

class Desktop;
class DropLabel;
class QAction;
class QCloseEvent;
class QLabel;
class QPushButton;

// The program's only window: a drop target for the CSV file to import, the
// chosen path, a status line and the import and close commands.
class frmMain : public QWidget {
    Q_OBJECT
public:
    frmMain(Desktop& desktop, LedgerStoreFactory storeFactory, QWidget* parent = nullptr);

    // Takes files as if they had been dropped on lblItem, once the event
    // loop is back: how the program is opened with a file.
    void OpenWith(const QStringList& files);

    // True while an import run, or the look before one, holds the window.
    bool IsRunning() const { return m_running; }

    // Where the history window finds the ledger's runs.
    void SetLedgerHistory(LedgerHistoryFactory openHistory) { m_openHistory = std::move(openHistory); }
    // Opens the history window over this one, as its context menu does.
    void ShowHistory();
    // What the ledger-place dialog reads and saves through.
    void SetLedgerPlaceSetup(LedgerPlaceSetupFactory setup) { m_placeSetup = std::move(setup); }
    // Opens the ledger-place dialog over this one, as its context menu does.
    void ShowLedgerPlace();
    // Looks at the chosen file against the ledger without importing it, and
    // shows what each line would do, as its context menu does.
    void ShowCheck();
    // Which ledger the window works on, for titles.
    QString LedgerText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class RunGuard;

    void BuildControls();
    void Form_Load();
    void lblItem_OLEDragDrop(const QStringList& files);
    void cmdExec_Click();
    void cmdClose_Click();
    // The dropped file's path; empty once the clerk is told none is chosen.
    QString chosenFile();

    Desktop& m_desktop;
    LedgerStoreFactory m_storeFactory;
    LedgerHistoryFactory m_openHistory;
    LedgerPlaceSetupFactory m_placeSetup;
    bool m_running = false;

    // Owned by this widget as their parent.
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdExec = nullptr;
    QLabel* lblInformation = nullptr;
    QLabel* lblFileName = nullptr;
    DropLabel* lblItem = nullptr;
    QAction* mnuCheck = nullptr;
    QAction* mnuHistory = nullptr;
    QAction* mnuLedgerPlace = nullptr;
};
