#include "ImportFileDialog.h"

#include "Appearance.h"

#include <QFileDialog>

QString AskImportFile(QWidget* parent, const QString& strStartFolder)
{
    QFileDialog dialog(parent, QStringLiteral("ファイルを開く"), strStartFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setWindowIcon(ProgramIcon());
    // Every file too, so that a name the drop rule refuses is told why, as a drop would be.
    dialog.setNameFilters({QStringLiteral("CSV ファイル・ブック (*.csv *.xlsx *.xlsm *.xls *.ods)"),
                           QStringLiteral("CSV ファイル (*.csv)"), QStringLiteral("ブック (*.xlsx *.xlsm *.xls *.ods)"),
                           QStringLiteral("すべてのファイル (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().front();
}
