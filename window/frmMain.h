#pragma once

#include "LedgerPlace.h"
#include "clsLedgerHistory.h"
#include "clsLedgerPatterns.h"
#include "clsLedgerStore.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>

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
    // Asks for the file to import, starting in a folder; empty when cancelled.
    using FileChooser = std::function<QString(QWidget* parent, const QString& strStartFolder)>;
    // Where the folder the file dialog last chose from is kept between sessions.
    struct FolderMemory {
        std::function<QString()> read;
        std::function<void(const QString&)> write;
    };

    frmMain(Desktop& desktop, LedgerStoreFactory storeFactory, QWidget* parent = nullptr);

    // Takes files as if they had been dropped on lblItem, once the event
    // loop is back: how the program is opened with a file.
    void OpenWith(const QStringList& files);
    // A later start of the program handed its files to this window: taken
    // as a drop, and the window comes to the front.
    void HandedOver(const QStringList& files);

    // Asks for a file and takes the choice exactly as a drop of it, as a
    // double-click on lblItem, its context menu and Ctrl+O do.
    void ChooseFile();
    void SetFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    void SetFolderMemory(FolderMemory memory);
    // The folder the file dialog starts in.
    QString StartFolder() const;

    // Which ledger the window works on: shown in its tooltip and its
    // context menu, beneath the boxes of a server's import, and asked for
    // the Data folder an import needs. Without it the window says nothing
    // of the ledger and leaves the folder to the store.
    void SetLedgerInUse(LedgerInUseSource source);

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
    // Where the import patterns are kept; without it files of other layouts
    // are refused as before and the pattern dialog is not offered.
    void SetLedgerPatterns(LedgerPatternsFactory openPatterns);
    // Opens the pattern dialog on the chosen file, as its context menu does;
    // true when a pattern was saved.
    bool ShowPatterns();
    // Looks at the chosen file against the ledger without importing it, and
    // shows what each line would do, as its context menu does.
    void ShowCheck();
    // Which ledger the window works on, for titles.
    QString LedgerText() const;

signals:
    // The clerk saved a ledger place: the window may now work on another ledger.
    void ledgerPlaceChosen();

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
    // The ledger of the moment, shown where the clerk looks for it.
    LedgerInUse ShowLedgerInUse();
    // The Data folder this computer's ledger needs, made when the clerk
    // says so; false when the import cannot go on.
    bool DataFolderReady(const LedgerInUse& ledger);
    void RememberFolderOf(const QString& strPath);
    // The engine of one command, with the ledger's patterns when they are known.
    void UsePatterns(class clsImportSource& importSource, const QString& strConnection) const;
    // The sheet of a workbook to read: asked when more than one holds a
    // value, the one that does when only one does; empty for a CSV file or
    // a workbook that cannot be read (its check says why); nothing when the
    // clerk cancelled.
    std::optional<QString> AskSheet(const QString& strFilePath);

    Desktop& m_desktop;
    LedgerStoreFactory m_storeFactory;
    LedgerHistoryFactory m_openHistory;
    LedgerPlaceSetupFactory m_placeSetup;
    LedgerPatternsFactory m_openPatterns;
    // The pattern the clerk just saved for a file: its next import reads it
    // so, whatever its header (a file without one finds no pattern itself).
    std::optional<std::pair<QString, ImportPattern>> m_patternForFile;
    LedgerInUseSource m_ledgerInUse;
    FileChooser m_chooseFile;
    FolderMemory m_folderMemory;
    QString m_strLastFolder;
    bool m_running = false;
    // The sheet the look just read, for the import its table asks for.
    std::optional<QString> m_sheetOfCheck;

    // Owned by this widget as their parent.
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdExec = nullptr;
    QLabel* lblInformation = nullptr;
    QLabel* lblFileName = nullptr;
    DropLabel* lblItem = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* mnuCheck = nullptr;
    QAction* mnuHistory = nullptr;
    QAction* mnuLedgerPlace = nullptr;
    QAction* mnuPatterns = nullptr;
};
