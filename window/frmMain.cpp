#include "frmMain.h"

#include "Appearance.h"
#include "DropLabel.h"
#include "FileChoice.h"
#include "ImportFileDialog.h"
#include "frmCheck.h"
#include "frmHistory.h"
#include "frmLedgerPlace.h"

#include "Desktop.h"
#include "ErrorReport.h"
#include "ImportFile.h"
#include "clsImportSource.h"
#include "frmPattern.h"
#include "workbook/Workbook.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <optional>
#include <utility>

// Holds the window from the checks to the end of the run, or for the look
// before one: the buttons are off, a close is refused, the busy pointer and
// the status show, and everything comes back however the click ends.
class frmMain::RunGuard {
public:
    RunGuard(frmMain& form, const QString& strStatus, const LedgerInUse& ledger)
        : m_form(form), m_focus(form.focusWidget())
    {
        m_form.m_running = true;
        // A server is shared: every box of the click names which one it is
        // (shortly; the window's tooltip has the whole).
        if (ledger.blnServer)
            m_form.m_desktop.SetLedgerNote(QStringLiteral("台帳: ") + ledger.strShort);
        m_form.cmdExec->setEnabled(false);
        m_form.cmdClose->setEnabled(false);
        for (QAction* entry : m_form.actions())
            entry->setEnabled(false);
        m_form.m_desktop.SetMousePointer(POINTER_HOURGLASS);
        m_form.lblInformation->setText(strStatus);
        // Reading a large file for the checks lets no events through: show
        // the busy state before it starts.
        PaintNow();
    }
    // Clears the status, then gives the pointer back.
    void EndBusy()
    {
        if (!m_busy)
            return;
        m_busy = false;
        m_form.lblInformation->setText(QString());
        m_form.m_desktop.SetMousePointer(POINTER_DEFAULT);
    }
    ~RunGuard()
    {
        EndBusy();
        m_form.m_desktop.SetLedgerNote(QString());
        m_form.cmdExec->setEnabled(true);
        m_form.cmdClose->setEnabled(true);
        for (QAction* entry : m_form.actions())
            entry->setEnabled(true);
        m_form.m_running = false;
        // Disabling took the focus from the clicked button; give it back.
        if (m_focus == m_form.cmdExec || m_focus == m_form.cmdClose)
            m_focus->setFocus();
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    frmMain& m_form;
    QPointer<QWidget> m_focus;
    bool m_busy = true;
};

frmMain::frmMain(Desktop& desktop, LedgerStoreFactory storeFactory, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      m_desktop(desktop), m_storeFactory(std::move(storeFactory)), m_chooseFile(AskImportFile)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Dorvik"));
    setWindowIcon(ProgramIcon());
    setFont(JapaneseGothic(9, false));
    setFixedSize(437, 163);
    BuildControls();
    Form_Load();
}

void frmMain::BuildControls()
{
    // The designed texts, each with its mnemonic after it.
    cmdClose = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setGeometry(8, 120, 101, 33);

    cmdExec = new QPushButton(QStringLiteral("インポート(&I)"), this);
    cmdExec->setObjectName(QStringLiteral("cmdExec"));
    cmdExec->setGeometry(328, 120, 101, 33);

    // Return imports; on a focused 閉じる it closes, as a focused button answers Return.
    for (QPushButton* button : {cmdClose, cmdExec}) {
        button->setAutoDefault(true);
        button->setFocusPolicy(Qt::StrongFocus);
    }
    cmdExec->setDefault(true);
    setTabOrder(cmdClose, cmdExec);

    lblInformation = new QLabel(QStringLiteral("Label1"), this);
    lblInformation->setObjectName(QStringLiteral("lblInformation"));
    lblInformation->setGeometry(120, 124, 197, 25);

    lblFileName = new QLabel(QStringLiteral("lblFileName"), this);
    lblFileName->setObjectName(QStringLiteral("lblFileName"));
    lblFileName->setGeometry(16, 84, 409, 25);

    for (QLabel* label : {lblInformation, lblFileName}) {
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
    }

    lblItem = new DropLabel(this);
    lblItem->setObjectName(QStringLiteral("lblItem"));
    lblItem->setText(QStringLiteral("インポートするファイルをここにドラッグアンドドロップして下さい。"));
    lblItem->setGeometry(16, 24, 409, 61);
    lblItem->setTextFormat(Qt::PlainText);
    lblItem->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblItem->setWordWrap(true);
    lblItem->setFont(JapaneseGothic(9.75, true));
    lblItem->setAutoFillBackground(true);
    QPalette palette = lblItem->palette();
    palette.setColor(QPalette::Window, QColor(255, 224, 192));
    lblItem->setPalette(palette);
    // The label lies over the top of lblFileName, as designed; it paints last.
    lblItem->raise();

    connect(lblItem, &DropLabel::dropped, this, &frmMain::lblItem_OLEDragDrop, Qt::QueuedConnection);
    connect(lblItem, &DropLabel::doubleClicked, this, &frmMain::ChooseFile);
    connect(cmdExec, &QPushButton::clicked, this, &frmMain::cmdExec_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmMain::cmdClose_Click);

    // The file dialog, the look before an import, the history and the
    // ledger's place open from a context menu, leaving the designed layout
    // as it is.
    mnuOpen = new QAction(QStringLiteral("ファイルを開く…(&O)"), this);
    mnuOpen->setObjectName(QStringLiteral("mnuOpen"));
    mnuOpen->setShortcut(QKeySequence::Open);
    addAction(mnuOpen);
    connect(mnuOpen, &QAction::triggered, this, &frmMain::ChooseFile);
    mnuCheck = new QAction(QStringLiteral("取り込み前の確認…(&K)"), this);
    mnuCheck->setObjectName(QStringLiteral("mnuCheck"));
    addAction(mnuCheck);
    connect(mnuCheck, &QAction::triggered, this, &frmMain::ShowCheck);
    mnuPatterns = new QAction(QStringLiteral("取込パターン…(&P)"), this);
    mnuPatterns->setObjectName(QStringLiteral("mnuPatterns"));
    mnuPatterns->setVisible(false);
    addAction(mnuPatterns);
    connect(mnuPatterns, &QAction::triggered, this, &frmMain::ShowPatterns);
    mnuHistory = new QAction(QStringLiteral("取り込み履歴…(&H)"), this);
    mnuHistory->setObjectName(QStringLiteral("mnuHistory"));
    addAction(mnuHistory);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(mnuHistory, &QAction::triggered, this, &frmMain::ShowHistory);
    mnuLedgerPlace = new QAction(QStringLiteral("台帳の場所…(&L)"), this);
    mnuLedgerPlace->setObjectName(QStringLiteral("mnuLedgerPlace"));
    addAction(mnuLedgerPlace);
    connect(mnuLedgerPlace, &QAction::triggered, this, &frmMain::ShowLedgerPlace);

    cmdExec->setFocus();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // The run still uses this window and its engine; it lets events through,
    // so a close could arrive in the middle of it.
    if (m_running) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void frmMain::Form_Load()
{
    try {
        lblFileName->setText(QString());
        lblInformation->setText(QString());
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("FM-man1000"), error);
    }
}

void frmMain::OpenWith(const QStringList& files)
{
    QMetaObject::invokeMethod(
        this, [this, files] { lblItem_OLEDragDrop(files); }, Qt::QueuedConnection);
}

void frmMain::HandedOver(const QStringList& files)
{
    if (!files.isEmpty())
        OpenWith(files);
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void frmMain::ChooseFile()
{
    if (m_running || !m_chooseFile)
        return;
    const QString path = m_chooseFile(this, StartFolder());
    if (!path.isEmpty())
        lblItem_OLEDragDrop({path});
}

void frmMain::SetFolderMemory(FolderMemory memory)
{
    m_folderMemory = std::move(memory);
    if (m_folderMemory.read)
        m_strLastFolder = m_folderMemory.read();
}

QString frmMain::StartFolder() const
{
    if (!m_strLastFolder.isEmpty() && QFileInfo(m_strLastFolder).isDir())
        return m_strLastFolder;
    return QDir::homePath();
}

void frmMain::RememberFolderOf(const QString& strPath)
{
    const QString folder = QFileInfo(strPath).absolutePath();
    if (folder == m_strLastFolder || !QFileInfo(folder).isDir())
        return;
    m_strLastFolder = folder;
    if (m_folderMemory.write)
        m_folderMemory.write(folder);
}

void frmMain::SetLedgerInUse(LedgerInUseSource source)
{
    m_ledgerInUse = std::move(source);
    ShowLedgerInUse();
}

LedgerInUse frmMain::ShowLedgerInUse()
{
    if (!m_ledgerInUse)
        return {};
    const LedgerInUse ledger = m_ledgerInUse();
    setToolTip(QStringLiteral("台帳: ") + ledger.strFull);
    // After a tab, the menu shows it where shortcuts stand.
    mnuLedgerPlace->setText(QStringLiteral("台帳の場所…(&L)\t") + ledger.strShort);
    return ledger;
}

bool frmMain::DataFolderReady(const LedgerInUse& ledger)
{
    if (ledger.blnServer || ledger.strDataFolder.isEmpty() || QFileInfo(ledger.strDataFolder).isDir())
        return true;
    if (m_desktop.MsgBoxWithInformation(QStringLiteral("Data フォルダがありません。作成しますか？"),
                                        MB_YESNO | MB_ICONQUESTION, QStringLiteral("インポート確認"),
                                        QDir::toNativeSeparators(ledger.strDataFolder), QString())
        != IDYES)
        return false;
    if (QDir().mkdir(ledger.strDataFolder))
        return true;
    m_desktop.MsgBox(
        QStringLiteral("Data フォルダを作成できません: %1").arg(QDir::toNativeSeparators(ledger.strDataFolder)),
        MB_ICONINFORMATION, QStringLiteral("インポートエラー"));
    return false;
}

void frmMain::lblItem_OLEDragDrop(const QStringList& files)
{
    try {
        const std::optional<QString> path = ChooseImportFile(m_desktop, files);
        if (!path) {
            lblFileName->setText(QString());
            return;
        }
        RememberFolderOf(*path);
        lblFileName->setText(*path);
        QFont font = lblFileName->font();
        font.setBold(true);
        lblFileName->setFont(font);
        font.setPointSize(10);
        lblFileName->setFont(font);
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("FM-man1001"), error);
    }
}

QString frmMain::chosenFile()
{
    const QString strFilePath = lblFileName->text();
    if (strFilePath.isEmpty())
        m_desktop.MsgBox(QStringLiteral("ファイルが選択されていません。"), MB_ICONINFORMATION,
                         QStringLiteral("インポートエラー"));
    return strFilePath;
}

void frmMain::cmdExec_Click()
{
    try {
        const QString strConnection = LedgerConnectionString();
        const QString strFilePath = chosenFile();
        if (strFilePath.isEmpty())
            return;

        const std::optional<QString> sheet = m_sheetOfCheck ? std::exchange(m_sheetOfCheck, std::nullopt)
                                                            : AskSheet(strFilePath);
        if (!sheet)
            return;
        const LedgerInUse ledger = ShowLedgerInUse();
        clsImportSource importSource(m_desktop, m_storeFactory);
        importSource.ChooseSheet(*sheet);
        UsePatterns(importSource, strConnection);
        if (m_patternForFile && m_patternForFile->first == strFilePath)
            importSource.ChoosePattern(m_patternForFile->second);
        m_patternForFile.reset();
        std::optional<RunGuard> guard(std::in_place, *this, QStringLiteral("インポート中です・・・・"), ledger);
        if (importSource.IMPFileCheck(strFilePath)) {
            // The clerk asked to make a pattern for the file: once saved, the file is checked again with it.
            if (importSource.PatternWanted()) {
                guard.reset();
                if (ShowPatterns())
                    cmdExec_Click();
            }
            return;
        }
        if (!DataFolderReady(ledger) || importSource.IMPRepeatCheck(strFilePath, strConnection)
            || importSource.IMPLineCheck(strFilePath, strConnection))
            return;
        importSource.ExecImport(strFilePath, strConnection);
        guard->EndBusy();
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("FM-man1003"), error);
    }
}

void frmMain::ShowCheck()
{
    if (m_running)
        return;
    try {
        const QString strConnection = LedgerConnectionString();
        const QString strFilePath = chosenFile();
        if (strFilePath.isEmpty())
            return;
        const std::optional<QString> sheet = AskSheet(strFilePath);
        if (!sheet)
            return;
        const LedgerInUse ledger = ShowLedgerInUse();
        std::optional<std::vector<LineCheck>> checks;
        {
            // Released before the table shows, so that the ledger waits on no one.
            clsImportSource importSource(m_desktop, m_storeFactory);
            importSource.ChooseSheet(*sheet);
            UsePatterns(importSource, strConnection);
            RunGuard guard(*this, QString(), ledger);
            checks = importSource.CheckFile(strFilePath, strConnection);
        }
        if (!checks)
            return;
        frmCheck check(*checks, strFilePath, LedgerText(), this);
        // The table's import is the window's own, with the same questions.
        if (check.exec() == frmCheck::kImportChosen) {
            m_sheetOfCheck = sheet;
            cmdExec_Click();
        }
    } catch (const std::exception& error) {
        m_desktop.MsgBox(ErrorDescription(error), MB_ICONINFORMATION, QStringLiteral("取り込み前の確認"));
    }
}

std::optional<QString> frmMain::AskSheet(const QString& strFilePath)
{
    if (!IsWorkbookPath(strFilePath))
        return QString();
    QStringList sheets;
    try {
        sheets = SheetsHoldingData(strFilePath);
    } catch (const std::exception&) {
        return QString();
    }
    if (sheets.size() < 2)
        return sheets.value(0);
    Question question{
        QStringLiteral("このブックには値のあるシートが %1 枚あります。どのシートを取り込みますか？").arg(sheets.size()),
        QStringLiteral("シートの選択"),
        {},
        0,
        0};
    for (const QString& strSheet : sheets)
        question.choices.push_back({strSheet, ChoiceLeadsTo::OneOfNames});
    question.choices.push_back({QStringLiteral("キャンセル"), ChoiceLeadsTo::Nothing});
    question.intEscape = int(question.choices.size()) - 1;
    const int answer = m_desktop.Ask(question);
    if (answer < 0 || answer >= sheets.size())
        return std::nullopt;
    return sheets[answer];
}

QString frmMain::LedgerText() const
{
    const std::unique_ptr<LedgerPlaceSetup> setup = m_placeSetup ? m_placeSetup() : nullptr;
    if (!setup)
        return QDir::toNativeSeparators(LedgerFilePath());
    const LedgerPlace place = setup->Current();
    switch (place.kind) {
    case LedgerPlace::Kind::ThisComputer: return QDir::toNativeSeparators(setup->LocalLedgerPath());
    case LedgerPlace::Kind::Server:
        return QStringLiteral("サーバー %1 のデータベース %2").arg(place.strHost, place.strDatabase);
    case LedgerPlace::Kind::Service: return QStringLiteral("サービス %1").arg(place.strService);
    }
    return QString();
}

void frmMain::SetLedgerPatterns(LedgerPatternsFactory openPatterns)
{
    m_openPatterns = std::move(openPatterns);
    mnuPatterns->setVisible(bool(m_openPatterns));
}

void frmMain::UsePatterns(clsImportSource& importSource, const QString& strConnection) const
{
    if (!m_openPatterns)
        return;
    // A ledger not made yet keeps no pattern: nothing is made to ask it.
    importSource.SetPatternShelf(
        [openPatterns = m_openPatterns, strConnection] { return openPatterns(strConnection, false)->Patterns(); });
}

bool frmMain::ShowPatterns()
{
    if (m_running || !m_openPatterns)
        return false;
    const QString strFilePath = chosenFile();
    if (strFilePath.isEmpty())
        return false;
    ShowLedgerInUse();
    frmPattern dialog(m_desktop, m_openPatterns, LedgerConnectionString(), strFilePath, this);
    if (dialog.exec() != QDialog::Accepted || !dialog.Saved())
        return false;
    m_patternForFile = std::make_pair(strFilePath, *dialog.Saved());
    return true;
}

void frmMain::ShowHistory()
{
    if (m_running)
        return;
    try {
        frmHistory history(m_desktop, m_openHistory, LedgerConnectionString(), this);
        history.SetLedgerName(ShowLedgerInUse().strFull);
        if (history.Reload())
            history.exec();
    } catch (const std::exception& error) {
        m_desktop.MsgBox(ErrorDescription(error), MB_ICONINFORMATION, QStringLiteral("取り込み履歴"));
    }
}

void frmMain::ShowLedgerPlace()
{
    if (m_running || !m_placeSetup)
        return;
    try {
        const std::unique_ptr<LedgerPlaceSetup> setup = m_placeSetup();
        if (!setup)
            return;
        frmLedgerPlace place(m_desktop, *setup, this);
        const bool chosen = place.exec() == QDialog::Accepted;
        ShowLedgerInUse();
        if (chosen)
            emit ledgerPlaceChosen();
    } catch (const std::exception& error) {
        m_desktop.MsgBox(ErrorDescription(error), MB_ICONINFORMATION, QStringLiteral("台帳の場所"));
    }
}

void frmMain::cmdClose_Click()
{
    try {
        close();
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("FM-man1002"), error);
    }
}
