#pragma once

#include "ImportPattern.h"
#include "clsLedgerPatterns.h"

#include <QDialog>
#include <QStringList>

#include <optional>
#include <vector>

class Desktop;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

// The import pattern dialog over a chosen file: its first lines in a grid,
// above each column the field it fills (suggested from its header text), the
// header line, encoding, date form and mode, fixed values, and a preview of
// how the first lines read through the import's own line reader. Saves the
// pattern in the ledger under a name; 管理… manages the kept ones.
class frmPattern : public QDialog {
    Q_OBJECT

public:
    // The lines shown, and the lines the preview reads.
    static constexpr int kLinesShown = 30;
    static constexpr int kLinesPreviewed = 20;

    frmPattern(Desktop& desktop, LedgerPatternsFactory openPatterns, QString strConnection, QString strFilePath,
               QWidget* parent = nullptr);

    // Starts from a kept pattern rather than from the suggestions.
    void StartFrom(const ImportPattern& pattern);
    // The pattern as the dialog now says it.
    ImportPattern Pattern() const;
    // The pattern saved, once one was.
    const std::optional<ImportPattern>& Saved() const { return m_saved; }
    // Saves the pattern under its name; false, with the clerk told why, when it cannot be.
    bool Save();
    // The preview's rows: line number, then the fields read, or the refusal.
    QStringList PreviewRows() const;

private:
    void BuildControls();
    // Reads the file's first lines again, as the encoding says.
    void LoadLines();
    // The grid of lines and a field list above each column.
    void ShowLines();
    // The fields the header line suggests, above its columns.
    void Suggest();
    void UpdatePreview();
    void ShowManager();
    QStringList HeaderFields() const;

    Desktop& m_desktop;
    LedgerPatternsFactory m_openPatterns;
    QString m_strConnection;
    QString m_strFilePath;
    std::vector<QStringList> m_lines;  // the file's first records, fields each
    std::optional<ImportPattern> m_saved;
    bool m_blnLoading = false;

    // Owned by the dialog as their parent.
    QLabel* lblFile = nullptr;
    QLineEdit* txtName = nullptr;
    QComboBox* cboMode = nullptr;
    QSpinBox* spnHeaderRow = nullptr;
    QComboBox* cboEncoding = nullptr;
    QComboBox* cboDateForm = nullptr;
    QTableWidget* grdLines = nullptr;
    QTableWidget* grdFixed = nullptr;
    QTableWidget* grdPreview = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdManage = nullptr;
    std::vector<QComboBox*> cboFields;
};

// The kept patterns: rename, delete, write to a file, read from a file.
class frmPatternManager : public QDialog {
    Q_OBJECT

public:
    frmPatternManager(Desktop& desktop, LedgerPatternsFactory openPatterns, QString strConnection,
                      QWidget* parent = nullptr);

    // Reads the kept patterns again; false when the ledger cannot say (the clerk told why).
    bool Reload();
    bool Rename(const QString& strFrom, const QString& strTo);
    bool Delete(const QString& strName);
    bool Export(const QString& strName, const QString& strPath);
    bool Import(const QString& strPath);
    QStringList Names() const;

private:
    QString Selected() const;
    // Runs body over the ledger's patterns; false, with the clerk told why, when it fails.
    template <typename Body>
    bool WithPatterns(bool blnToWrite, Body&& body);

    Desktop& m_desktop;
    LedgerPatternsFactory m_openPatterns;
    QString m_strConnection;
    std::vector<ImportPattern> m_patterns;
    QTableWidget* grdPatterns = nullptr;
};
