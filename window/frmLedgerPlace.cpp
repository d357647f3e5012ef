#include "frmLedgerPlace.h"

#include "Appearance.h"

#include "Desktop.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString TITLE_LEDGER_PLACE = QStringLiteral("台帳の場所");

struct SslMode {
    const char* mode;
    const char* text;
};
constexpr SslMode kSslModes[] = {
    {"verify-full", "verify-full（証明書とホスト名を確かめる）"},
    {"verify-ca", "verify-ca（証明書を確かめる）"},
    {"require", "require（暗号化のみ）"},
    {"prefer", "prefer（できれば暗号化）"},
    {"disable", "disable（暗号化しない）"},
};

}  // namespace

frmLedgerPlace::frmLedgerPlace(Desktop& desktop, LedgerPlaceSetup& setup, QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_setup(setup)
{
    setObjectName(QStringLiteral("frmLedgerPlace"));
    setWindowTitle(TITLE_LEDGER_PLACE);
    setWindowIcon(ProgramIcon());
    setFont(JapaneseGothic(9, false));
    m_blnKeyring = m_setup.KeyringAvailable();
    BuildControls();
    Show(m_setup.Current());
}

void frmLedgerPlace::BuildControls()
{
    const auto named = [](QWidget* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    optThisComputer = new QRadioButton(QStringLiteral("このコンピューター(&C)"), this);
    named(optThisComputer, "optThisComputer");
    lblLocalPath = new QLabel(this);
    named(lblLocalPath, "lblLocalPath");
    lblLocalPath->setTextFormat(Qt::PlainText);
    lblLocalPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblLocalPath->setText(QDir::toNativeSeparators(m_setup.LocalLedgerPath()));
    optServer = new QRadioButton(QStringLiteral("サーバー(&S)"), this);
    named(optServer, "optServer");
    auto* where = new QButtonGroup(this);
    where->addButton(optThisComputer);
    where->addButton(optServer);

    fraServer = new QWidget(this);
    optHost = new QRadioButton(QStringLiteral("接続先を入力(&E)"), fraServer);
    named(optHost, "optHost");
    optService = new QRadioButton(QStringLiteral("サービス名（pg_service.conf）(&V)"), fraServer);
    named(optService, "optService");
    auto* how = new QButtonGroup(fraServer);
    how->addButton(optHost);
    how->addButton(optService);

    txtHost = new QLineEdit(fraServer);
    named(txtHost, "txtHost");
    txtPort = new QLineEdit(fraServer);
    named(txtPort, "txtPort");
    txtPort->setValidator(new QIntValidator(1, 65535, txtPort));
    txtPort->setPlaceholderText(QStringLiteral("5432"));
    txtDatabase = new QLineEdit(fraServer);
    named(txtDatabase, "txtDatabase");
    txtUser = new QLineEdit(fraServer);
    named(txtUser, "txtUser");
    cboSslMode = new QComboBox(fraServer);
    named(cboSslMode, "cboSslMode");
    for (const SslMode& mode : kSslModes)
        cboSslMode->addItem(QString::fromUtf8(mode.text), QString::fromLatin1(mode.mode));
    txtSslRootCert = new QLineEdit(fraServer);
    named(txtSslRootCert, "txtSslRootCert");
    // Full paths: the Japanese faces draw a tilde as an overline.
    txtSslRootCert->setPlaceholderText(
        QDir::toNativeSeparators(QDir::home().filePath(QStringLiteral(".postgresql/root.crt"))));
    cmdSslRootCert = new QPushButton(QStringLiteral("参照…(&B)"), fraServer);
    named(cmdSslRootCert, "cmdSslRootCert");
    txtService = new QLineEdit(fraServer);
    named(txtService, "txtService");
    txtPassword = new QLineEdit(fraServer);
    named(txtPassword, "txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    txtSchema = new QLineEdit(fraServer);
    named(txtSchema, "txtSchema");
    txtSchema->setPlaceholderText(QStringLiteral("public"));

    lblPassword = new QLabel(fraServer);
    named(lblPassword, "lblPassword");
    lblPassword->setWordWrap(true);
    lblPassword->setTextFormat(Qt::PlainText);
    if (m_blnKeyring) {
        lblPassword->setText(
            QStringLiteral("パスワードはデスクトップのキーリングに保存し、接続のたびにそこから読みます。"));
    } else {
        // Without a keyring the password has nowhere safe to go: typed here it
        // serves the connection test only.
        const QString pgpass = QDir::toNativeSeparators(QDir::home().filePath(QStringLiteral(".pgpass")));
        txtPassword->setPlaceholderText(QStringLiteral("接続テストにだけ使います（保存しません）"));
        lblPassword->setText(
            QStringLiteral(
                "キーリングを使えないため、パスワードは保存しません。次のどちらかにしてください。\n"
                "・インポートのときに尋ねるパスワードを入力する（このセッションの間だけ覚え、どこにも書きません）。\n"
                "・%1 に「ホスト:ポート:データベース:ユーザー:パスワード」の行を書き、"
                "chmod 600 %1 で自分だけが読めるようにする。")
                .arg(pgpass));
    }

    auto* certificate = new QHBoxLayout;
    certificate->setContentsMargins(QMargins());
    certificate->addWidget(txtSslRootCert, 1);
    certificate->addWidget(cmdSslRootCert);
    // Each field's label carries its mnemonic, which moves the focus to it.
    auto* form = new QFormLayout;
    form->addRow(optHost);
    form->addRow(QStringLiteral("ホスト(&H):"), txtHost);
    form->addRow(QStringLiteral("ポート(&P):"), txtPort);
    form->addRow(QStringLiteral("データベース(&D):"), txtDatabase);
    form->addRow(QStringLiteral("ユーザー(&U):"), txtUser);
    form->addRow(QStringLiteral("SSL(&L):"), cboSslMode);
    auto* certificateLabel = new QLabel(QStringLiteral("CA 証明書(&A):"), fraServer);
    certificateLabel->setBuddy(txtSslRootCert);
    form->addRow(certificateLabel, certificate);
    form->addRow(optService);
    form->addRow(QStringLiteral("サービス名(&N):"), txtService);
    form->addRow(QStringLiteral("パスワード(&W):"), txtPassword);
    form->addRow(QStringLiteral("スキーマ(&M):"), txtSchema);
    form->addRow(lblPassword);
    auto* server = new QVBoxLayout(fraServer);
    server->setContentsMargins(24, 0, 0, 0);
    server->addLayout(form);

    lblEnvironment = new QLabel(this);
    named(lblEnvironment, "lblEnvironment");
    lblEnvironment->setWordWrap(true);
    lblEnvironment->setTextFormat(Qt::PlainText);
    lblEnvironment->setText(QStringLiteral("環境変数 MORAIMPORT_LEDGER_SERVER がサーバーを指定しているため、"
                                           "それが設定されている間はここでの選択より優先されます。"));
    lblEnvironment->setVisible(m_setup.ChosenByEnvironment());

    cmdTest = new QPushButton(QStringLiteral("接続テスト(&T)"), this);
    named(cmdTest, "cmdTest");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    named(buttons, "buttons");
    buttons->addButton(cmdTest, QDialogButtonBox::ActionRole);

    auto* local = new QVBoxLayout;
    local->setContentsMargins(24, 0, 0, 0);
    local->addWidget(lblLocalPath);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(optThisComputer);
    layout->addLayout(local);
    layout->addWidget(optServer);
    layout->addWidget(fraServer);
    layout->addWidget(lblEnvironment);
    layout->addStretch();
    layout->addWidget(buttons);
    setMinimumWidth(480);

    for (QRadioButton* option : {optThisComputer, optServer, optHost, optService})
        connect(option, &QRadioButton::toggled, this, &frmLedgerPlace::UpdateFields);
    connect(txtHost, &QLineEdit::textEdited, this, &frmLedgerPlace::txtHost_Changed);
    connect(cboSslMode, &QComboBox::activated, this, [this] { m_blnSslModeChosen = true; });
    connect(cmdSslRootCert, &QPushButton::clicked, this, &frmLedgerPlace::cmdSslRootCert_Click);
    connect(cmdTest, &QPushButton::clicked, this, &frmLedgerPlace::cmdTest_Click);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmLedgerPlace::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &frmLedgerPlace::reject);
}

void frmLedgerPlace::Show(const LedgerPlace& place)
{
    optThisComputer->setChecked(place.kind == LedgerPlace::Kind::ThisComputer);
    optServer->setChecked(place.kind != LedgerPlace::Kind::ThisComputer);
    optService->setChecked(place.kind == LedgerPlace::Kind::Service);
    optHost->setChecked(place.kind != LedgerPlace::Kind::Service);
    txtHost->setText(place.strHost);
    txtPort->setText(place.strPort);
    txtDatabase->setText(place.strDatabase);
    txtUser->setText(place.strUser);
    m_blnSslModeChosen = !place.strSslMode.isEmpty();
    const int mode = cboSslMode->findData(m_blnSslModeChosen ? place.strSslMode : DefaultSslMode(place.strHost));
    cboSslMode->setCurrentIndex(mode >= 0 ? mode : 0);
    txtSslRootCert->setText(place.strSslRootCert);
    txtService->setText(place.strService);
    txtSchema->setText(place.strSchema == QLatin1String("public") ? QString() : place.strSchema);
    if (m_blnKeyring && place.kind != LedgerPlace::Kind::ThisComputer && m_setup.HasStoredPassword(place))
        txtPassword->setPlaceholderText(QStringLiteral("キーリングに保存済み（変えるときだけ入力）"));
    UpdateFields();
}

LedgerPlace frmLedgerPlace::Place() const
{
    LedgerPlace place;
    if (optThisComputer->isChecked())
        return place;
    place.kind = optService->isChecked() ? LedgerPlace::Kind::Service : LedgerPlace::Kind::Server;
    place.strSchema = txtSchema->text().trimmed().isEmpty() ? QStringLiteral("public") : txtSchema->text().trimmed();
    if (place.kind == LedgerPlace::Kind::Service) {
        place.strService = txtService->text().trimmed();
        return place;
    }
    place.strHost = txtHost->text().trimmed();
    place.strPort = txtPort->text().trimmed();
    place.strDatabase = txtDatabase->text().trimmed();
    place.strUser = txtUser->text().trimmed();
    place.strSslMode = cboSslMode->currentData().toString();
    place.strSslRootCert = txtSslRootCert->text().trimmed();
    return place;
}

void frmLedgerPlace::UpdateFields()
{
    const bool server = optServer->isChecked();
    const bool service = optService->isChecked();
    lblLocalPath->setEnabled(!server);
    fraServer->setEnabled(server);
    for (QWidget* field : std::initializer_list<QWidget*>{txtHost, txtPort, txtDatabase, txtUser, cboSslMode,
                                                          txtSslRootCert, cmdSslRootCert})
        field->setEnabled(!service);
    txtService->setEnabled(service);
    cmdTest->setEnabled(server);
}

void frmLedgerPlace::txtHost_Changed(const QString& strHost)
{
    if (m_blnSslModeChosen)
        return;
    const int mode = cboSslMode->findData(DefaultSslMode(strHost));
    if (mode >= 0)
        cboSslMode->setCurrentIndex(mode);
}

void frmLedgerPlace::cmdSslRootCert_Click()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("事務所の CA 証明書"), txtSslRootCert->text(),
                                     QStringLiteral("証明書 (*.crt *.pem *.cer);;すべてのファイル (*)"));
    if (!path.isEmpty())
        txtSslRootCert->setText(path);
}

bool frmLedgerPlace::CheckFields()
{
    const LedgerPlace place = Place();
    if (place.kind == LedgerPlace::Kind::Server && place.strHost.isEmpty()) {
        Tell(QStringLiteral("サーバーのホストを入力してください。"));
        txtHost->setFocus();
        return false;
    }
    if (place.kind == LedgerPlace::Kind::Service && place.strService.isEmpty()) {
        Tell(QStringLiteral("pg_service.conf のサービス名を入力してください。"));
        txtService->setFocus();
        return false;
    }
    if (place.kind == LedgerPlace::Kind::Server && !place.strPort.isEmpty() && txtPort->hasAcceptableInput() == false) {
        Tell(QStringLiteral("ポートには 1 から 65535 までの番号を入力してください。"));
        txtPort->setFocus();
        return false;
    }
    return true;
}

void frmLedgerPlace::cmdTest_Click()
{
    if (!CheckFields())
        return;
    m_desktop.SetMousePointer(POINTER_HOURGLASS);
    PaintNow();
    const LedgerPlaceTest test = m_setup.Test(Place(), txtPassword->text());
    m_desktop.SetMousePointer(POINTER_DEFAULT);
    Tell(test.strText);
}

void frmLedgerPlace::accept()
{
    if (!CheckFields())
        return;
    // Without a keyring, what was typed served the test and goes nowhere.
    const QString failure = m_setup.Save(Place(), m_blnKeyring ? txtPassword->text() : QString());
    if (!failure.isEmpty())
        return Tell(failure);
    QDialog::accept();
}

void frmLedgerPlace::Tell(const QString& strPrompt)
{
    m_desktop.MsgBox(strPrompt, MB_ICONINFORMATION, TITLE_LEDGER_PLACE);
}
