#pragma once

#include "LedgerPlace.h"

#include <QDialog>
#include <QString>

class Desktop;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// Where the ledger lies: this computer's file, or a server shared by an
// office, given by its host or by a service of pg_service.conf.
class frmLedgerPlace : public QDialog {
    Q_OBJECT
public:
    frmLedgerPlace(Desktop& desktop, LedgerPlaceSetup& setup, QWidget* parent = nullptr);

    // The place as the fields give it now.
    LedgerPlace Place() const;

    void accept() override;

private:
    void BuildControls();
    void Show(const LedgerPlace& place);
    void UpdateFields();
    void txtHost_Changed(const QString& strHost);
    void cmdSslRootCert_Click();
    void cmdTest_Click();
    // False after telling the user what is missing.
    bool CheckFields();
    void Tell(const QString& strPrompt);

    Desktop& m_desktop;
    LedgerPlaceSetup& m_setup;
    bool m_blnKeyring = false;
    // The clerk chose an SSL mode, which the host no longer sets.
    bool m_blnSslModeChosen = false;

    // Owned by this dialog as their parent.
    QRadioButton* optThisComputer = nullptr;
    QRadioButton* optServer = nullptr;
    QRadioButton* optHost = nullptr;
    QRadioButton* optService = nullptr;
    QLabel* lblLocalPath = nullptr;
    QWidget* fraServer = nullptr;
    QLineEdit* txtHost = nullptr;
    QLineEdit* txtPort = nullptr;
    QLineEdit* txtDatabase = nullptr;
    QLineEdit* txtUser = nullptr;
    QComboBox* cboSslMode = nullptr;
    QLineEdit* txtSslRootCert = nullptr;
    QPushButton* cmdSslRootCert = nullptr;
    QLineEdit* txtService = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLineEdit* txtSchema = nullptr;
    QLabel* lblPassword = nullptr;
    QLabel* lblEnvironment = nullptr;
    QPushButton* cmdTest = nullptr;
};
