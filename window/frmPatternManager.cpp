#include "Appearance.h"
#include "Desktop.h"
#include "PatternFile.h"
#include "frmPattern.h"

#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

frmPatternManager::frmPatternManager(Desktop& desktop, LedgerPatternsFactory openPatterns, QString strConnection,
                                     QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_openPatterns(std::move(openPatterns)),
      m_strConnection(std::move(strConnection))
{
    setWindowTitle(QStringLiteral("取込パターンの管理"));
    setWindowIcon(ProgramIcon());
    setFont(JapaneseGothic(9, false));
    grdPatterns = new QTableWidget(0, 3, this);
    grdPatterns->setObjectName(QStringLiteral("grdPatterns"));
    grdPatterns->setHorizontalHeaderLabels(
        {QStringLiteral("名前"), QStringLiteral("種類"), QStringLiteral("読む見出し")});
    grdPatterns->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdPatterns->setSelectionMode(QAbstractItemView::SingleSelection);
    grdPatterns->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdPatterns->horizontalHeader()->setStretchLastSection(true);
    grdPatterns->verticalHeader()->hide();

    const auto button = [this](const QString& text, const char* name) {
        auto* pushButton = new QPushButton(text, this);
        pushButton->setObjectName(QLatin1String(name));
        return pushButton;
    };
    QPushButton* cmdRename = button(QStringLiteral("名前の変更…(&R)"), "cmdRename");
    QPushButton* cmdDelete = button(QStringLiteral("削除(&D)"), "cmdDelete");
    QPushButton* cmdExport = button(QStringLiteral("ファイルへ書き出す…(&E)"), "cmdExport");
    QPushButton* cmdImport = button(QStringLiteral("ファイルから読み込む…(&I)"), "cmdImport");
    QPushButton* cmdClose = button(QStringLiteral("閉じる(&C)"), "cmdClose");
    auto* buttons = new QVBoxLayout;
    for (QPushButton* pushButton : {cmdRename, cmdDelete, cmdExport, cmdImport})
        buttons->addWidget(pushButton);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(grdPatterns, 1);
    layout->addLayout(buttons);
    resize(720, 360);

    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdRename, &QPushButton::clicked, this, [this] {
        const QString from = Selected();
        bool ok = false;
        const QString to =
            QInputDialog::getText(this, windowTitle(), QStringLiteral("新しい名前(&N):"), QLineEdit::Normal, from, &ok);
        if (!from.isEmpty() && ok && !to.trimmed().isEmpty())
            Rename(from, to.trimmed());
    });
    connect(cmdDelete, &QPushButton::clicked, this, [this] {
        const QString name = Selected();
        if (name.isEmpty())
            return;
        Question question(QStringLiteral("取込パターン「%1」を削除しますか？").arg(name), windowTitle(),
                          {{QStringLiteral("削除する"), ChoiceLeadsTo::GoingOn},
                           {QStringLiteral("削除しない"), ChoiceLeadsTo::Nothing}},
                          1, 1);
        if (m_desktop.Ask(question) == 0)
            Delete(name);
    });
    connect(cmdExport, &QPushButton::clicked, this, [this] {
        const QString name = Selected();
        if (name.isEmpty())
            return;
        const QString path = QFileDialog::getSaveFileName(this, windowTitle(), name + QStringLiteral(".json"),
                                                          QStringLiteral("取込パターン (*.json)"));
        if (!path.isEmpty())
            Export(name, path);
    });
    connect(cmdImport, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, windowTitle(), QString(), QStringLiteral("取込パターン (*.json)"));
        if (!path.isEmpty())
            Import(path);
    });
}

template <typename Body>
bool frmPatternManager::WithPatterns(bool blnToWrite, Body&& body)
{
    try {
        std::unique_ptr<clsLedgerPatterns> patterns = m_openPatterns(m_strConnection, blnToWrite);
        return body(*patterns);
    } catch (const std::exception& error) {
        m_desktop.MsgBox(QString::fromUtf8(error.what()), MB_ICONINFORMATION, windowTitle());
        return false;
    }
}

bool frmPatternManager::Reload()
{
    return WithPatterns(false, [this](clsLedgerPatterns& patterns) {
        m_patterns = patterns.Patterns();
        grdPatterns->setRowCount(int(m_patterns.size()));
        for (int row = 0; row < int(m_patterns.size()); ++row) {
            const ImportPattern& pattern = m_patterns[std::size_t(row)];
            grdPatterns->setItem(row, 0, new QTableWidgetItem(pattern.strName));
            grdPatterns->setItem(
                row, 1, new QTableWidgetItem(pattern.blnPurchase ? QStringLiteral("仕入") : QStringLiteral("売上")));
            grdPatterns->setItem(row, 2, new QTableWidgetItem(PatternHeaderTexts(pattern).join(QStringLiteral("、"))));
        }
        if (!m_patterns.empty())
            grdPatterns->selectRow(0);
        grdPatterns->resizeColumnsToContents();
        return true;
    });
}

QString frmPatternManager::Selected() const
{
    const int row = grdPatterns->currentRow();
    return row >= 0 && row < int(m_patterns.size()) ? m_patterns[std::size_t(row)].strName : QString();
}

QStringList frmPatternManager::Names() const
{
    QStringList names;
    for (const ImportPattern& pattern : m_patterns)
        names << pattern.strName;
    return names;
}

bool frmPatternManager::Rename(const QString& strFrom, const QString& strTo)
{
    return WithPatterns(true, [&](clsLedgerPatterns& patterns) { return patterns.RenamePattern(strFrom, strTo); })
           && Reload();
}

bool frmPatternManager::Delete(const QString& strName)
{
    return WithPatterns(true, [&](clsLedgerPatterns& patterns) { return patterns.DeletePattern(strName); }) && Reload();
}

bool frmPatternManager::Export(const QString& strName, const QString& strPath)
{
    for (const ImportPattern& pattern : m_patterns) {
        if (pattern.strName != strName)
            continue;
        QSaveFile file(strPath);
        const QByteArray bytes = WritePatternFile(pattern);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
            return true;
        m_desktop.MsgBox(QStringLiteral("ファイルに書き出せません: %1").arg(strPath), MB_ICONINFORMATION,
                         windowTitle());
        return false;
    }
    return false;
}

bool frmPatternManager::Import(const QString& strPath)
{
    QFile file(strPath);
    constexpr qint64 kLargestPatternFile = 1 << 20;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestPatternFile) {
        m_desktop.MsgBox(QStringLiteral("取込パターンのファイルを読めません: %1").arg(strPath), MB_ICONINFORMATION,
                         windowTitle());
        return false;
    }
    std::variant<ImportPattern, QString> read = ReadPatternFile(file.read(kLargestPatternFile));
    if (const QString* problem = std::get_if<QString>(&read)) {
        m_desktop.MsgBox(QStringLiteral("この取込パターンは読み込めません: %1").arg(*problem), MB_ICONINFORMATION,
                         windowTitle());
        return false;
    }
    return WithPatterns(true,
                        [&](clsLedgerPatterns& patterns) {
                            patterns.SavePattern(std::get<ImportPattern>(read));
                            return true;
                        })
           && Reload();
}
