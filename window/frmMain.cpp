#include "frmMain.h"

#include "DropLabel.h"
#include "Product.h"

#include "Desktop.h"
#include "ErrorReport.h"
#include "RuntimeError.h"
#include "clsImportSource.h"

#include <QCloseEvent>
#include <QDir>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

namespace {

#include "icons/MoraImport.xpm"

const QString kCsvEnding = QStringLiteral("CSV");
const QString kFileSelectionError = QStringLiteral("ファイル選択エラー");

// The designed face is a Windows font; the IPA and Noto Gothic faces stand
// in for it so that Japanese never falls back to boxes.
QFont JapaneseGothic(qreal pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

// The drop's file list: its local files and folders, in order, as full
// paths. A folder's trailing separator is dropped so that its name ends
// the path, as it does for a file.
QStringList DroppedFiles(const QMimeData& data)
{
    QStringList files;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile())
            continue;
        QString path = url.toLocalFile();
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        files << path;
    }
    return files;
}

// Entry `index` (1-based) of a file list; asking past its end is an error.
QString FileListEntry(const QStringList& files, qsizetype index)
{
    if (index < 1 || index > files.size())
        throw RuntimeError(ERR_BAD_CALL);
    return files.at(index - 1);
}

// An unreadable current directory (removed under the process) would turn
// the data source into /Data at the file system's root.
QString CurrentDirectory()
{
    const QString directory = QDir::currentPath();
    if (directory.isEmpty())
        throw RuntimeError(ERR_PATH_NOT_FOUND);
    return directory;
}

}  // namespace

// Holds the window for the length of an import run: the buttons are off, a
// close is refused, and everything comes back however the run ends.
class frmMain::RunGuard {
public:
    explicit RunGuard(frmMain& form) : m_form(form), m_focus(form.focusWidget())
    {
        m_form.m_running = true;
        m_form.cmdExec->setEnabled(false);
        m_form.cmdClose->setEnabled(false);
    }
    ~RunGuard()
    {
        m_form.cmdExec->setEnabled(true);
        m_form.cmdClose->setEnabled(true);
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
};

frmMain::frmMain(Desktop& desktop, LedgerStoreFactory storeFactory, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_desktop(desktop), m_storeFactory(std::move(storeFactory))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Dorvik"));
    setWindowIcon(QIcon(QPixmap(moraimport)));
    setFont(JapaneseGothic(9, false));
    setFixedSize(437, 163);
    BuildControls();
    Form_Load();
}

void frmMain::BuildControls()
{
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setGeometry(8, 120, 101, 33);

    cmdExec = new QPushButton(QStringLiteral("インポート"), this);
    cmdExec->setObjectName(QStringLiteral("cmdExec"));
    cmdExec->setGeometry(328, 120, 101, 33);

    for (QPushButton* button : {cmdClose, cmdExec}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
    }
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

    connect(lblItem, &DropLabel::dropped, this, &frmMain::lblItem_OLEDragDrop);
    connect(cmdExec, &QPushButton::clicked, this, &frmMain::cmdExec_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmMain::cmdClose_Click);

    cmdClose->setFocus();
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

void frmMain::lblItem_OLEDragDrop(const QMimeData& data)
{
    try {
        const QStringList files = DroppedFiles(data);
        if (files.size() > 1) {
            m_desktop.MsgBox(QStringLiteral("一度に複数のファイルを取り込むことは出来ません。"),
                             MB_ICONINFORMATION | MB_SYSTEMMODAL, kFileSelectionError);
            lblFileName->setText(QString());
            return;
        }
        const QString path = FileListEntry(files, 1);
        if (path.right(3).toUpper() == kCsvEnding) {
            lblFileName->setText(path);
            QFont font = lblFileName->font();
            font.setBold(true);
            lblFileName->setFont(font);
            font.setPointSize(10);
            lblFileName->setFont(font);
        } else {
            m_desktop.MsgBox(QStringLiteral("CSVファイルを選択して下さい。"),
                             MB_ICONINFORMATION | MB_SYSTEMMODAL, kFileSelectionError);
            lblFileName->setText(QString());
        }
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("FM-man1001"), error);
    }
}

void frmMain::cmdExec_Click()
{
    try {
        const QString strConnection = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;")
                                      + QStringLiteral("Data Source=") + CurrentDirectory()
                                      + QStringLiteral("/Data/iOrvanta.mdb");
        const QString strFilePath = lblFileName->text();
        if (strFilePath.isEmpty()) {
            m_desktop.MsgBox(QStringLiteral("ファイルが選択されていません。"), MB_ICONINFORMATION,
                             QStringLiteral("インポートエラー"));
            return;
        }

        clsImportSource importSource(m_desktop, m_storeFactory);
        if (importSource.IMPFileCheck(strFilePath)) {
            lblInformation->setText(QString());
            return;
        }

        RunGuard guard(*this);
        m_desktop.SetMousePointer(POINTER_HOURGLASS);
        lblInformation->setText(QStringLiteral("インポート中です・・・・"));
        importSource.ExecImport(strFilePath, strConnection);
        lblInformation->setText(QString());
        m_desktop.SetMousePointer(POINTER_DEFAULT);
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("FM-man1003"), error);
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
