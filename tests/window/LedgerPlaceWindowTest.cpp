#include "RecordingDesktop.h"
#include "frmLedgerPlace.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

// The program's side of the dialog, as a test sets it.
class FakeSetup : public LedgerPlaceSetup {
public:
    LedgerPlace Current() override { return current; }
    QString LocalLedgerPath() override { return QStringLiteral("/home/clerk/Data/iOrvanta.mdb"); }
    bool ChosenByEnvironment() override { return environment; }
    bool KeyringAvailable() override { return keyring; }
    bool HasStoredPassword(const LedgerPlace&) override { return stored; }
    LedgerPlaceTest Test(const LedgerPlace& place, const QString& strPassword) override
    {
        tested = place;
        testedPassword = strPassword;
        return testResult;
    }
    QString Save(const LedgerPlace& place, const QString& strPassword) override
    {
        saved = place;
        savedPassword = strPassword;
        return saveFailure;
    }

    LedgerPlace current;
    bool environment = false;
    bool keyring = true;
    bool stored = false;
    LedgerPlaceTest testResult;
    QString saveFailure;
    std::optional<LedgerPlace> tested, saved;
    QString testedPassword, savedPassword;
};

class LedgerPlaceWindow : public ::testing::Test {
protected:
    // A dialog made now, over what the setup holds now.
    frmLedgerPlace& open()
    {
        dialog = std::make_unique<frmLedgerPlace>(desktop, setup);
        return *dialog;
    }
    template <typename T>
    T& child(const char* name)
    {
        T* widget = dialog->findChild<T*>(QLatin1String(name));
        if (!widget)
            throw std::logic_error(std::string("no child ") + name);
        return *widget;
    }
    QLineEdit& field(const char* name) { return child<QLineEdit>(name); }
    QString sslMode() { return child<QComboBox>("cboSslMode").currentData().toString(); }

    RecordingDesktop desktop;
    FakeSetup setup;
    std::unique_ptr<frmLedgerPlace> dialog;
};

LedgerPlace Server(QString host, QString sslMode)
{
    LedgerPlace place;
    place.kind = LedgerPlace::Kind::Server;
    place.strHost = std::move(host);
    place.strPort = QStringLiteral("5433");
    place.strDatabase = QStringLiteral("orvanta");
    place.strUser = QStringLiteral("clerk");
    place.strSslMode = std::move(sslMode);
    place.strSslRootCert = QStringLiteral("/etc/office/ca.crt");
    place.strSchema = QStringLiteral("branch2");
    return place;
}

LedgerPlace Service(QString name)
{
    LedgerPlace place;
    place.kind = LedgerPlace::Kind::Service;
    place.strService = std::move(name);
    return place;
}

// What the settings name is what the dialog shows, and OK saves it as it was.
TEST_F(LedgerPlaceWindow, ShowsThePlaceOfTheSettingsAndSavesItBackUnchanged)
{
    for (const LedgerPlace& place :
         {LedgerPlace{}, Server(QStringLiteral("ledger.office.example"), QStringLiteral("require")),
          Service(QStringLiteral("office"))}) {
        SCOPED_TRACE(int(place.kind));
        setup.current = place;
        setup.saved.reset();
        open();
        EXPECT_EQ(dialog->Place(), place);
        EXPECT_EQ(child<QRadioButton>("optServer").isChecked(), place.kind != LedgerPlace::Kind::ThisComputer);
        EXPECT_EQ(field("txtService").isEnabled(), place.kind == LedgerPlace::Kind::Service);
        EXPECT_EQ(child<QLabel>("lblLocalPath").text(), QStringLiteral("/home/clerk/Data/iOrvanta.mdb"));
        dialog->accept();
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(setup.saved, place);
        EXPECT_EQ(setup.savedPassword, QString());
    }
}

// A server elsewhere must prove who it is; one on this computer need not.
TEST_F(LedgerPlaceWindow, TheSslModeFollowsTheHostUntilTheClerkChoosesOne)
{
    struct Case {
        const char* host;
        const char* mode;
    };
    const Case cases[] = {
        {"ledger.office.example", "verify-full"},
        {"192.168.10.5", "verify-full"},
        {"localhost", "prefer"},
        {"127.0.0.1", "prefer"},
        {"/var/run/postgresql", "prefer"},
        {"", "prefer"},
    };
    open();
    child<QRadioButton>("optServer").setChecked(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        field("txtHost").selectAll();
        QTest::keyClick(&field("txtHost"), Qt::Key_Delete);
        QTest::keyClicks(&field("txtHost"), QString::fromLatin1(c.host));
        EXPECT_EQ(sslMode(), QLatin1String(c.mode));
    }

    auto& modes = child<QComboBox>("cboSslMode");
    const int require = modes.findData(QStringLiteral("require"));
    modes.setCurrentIndex(require);
    emit modes.activated(require);
    QTest::keyClicks(&field("txtHost"), QStringLiteral("ledger.office.example"));
    EXPECT_EQ(sslMode(), QStringLiteral("require"));

    // A place saved with its mode keeps it, whatever its host.
    setup.current = Server(QStringLiteral("ledger.office.example"), QStringLiteral("verify-ca"));
    open();
    QTest::keyClicks(&field("txtHost"), QStringLiteral("x"));
    EXPECT_EQ(sslMode(), QStringLiteral("verify-ca"));
}

// The password goes to the keyring where there is one; where there is
// none, the dialog says both other ways (asked at the import for the
// session, or ~/.pgpass), and a password typed serves the test only.
TEST_F(LedgerPlaceWindow, ThePasswordFieldDependsOnTheKeyring)
{
    struct Case {
        bool keyring;
        bool stored;
        bool enabled;
        QString note;
        QString placeholder;
    };
    const Case cases[] = {
        {true, false, true, QStringLiteral("キーリング"), QString()},
        {true, true, true, QStringLiteral("キーリング"), QStringLiteral("キーリングに保存済み（変えるときだけ入力）")},
        {false, false, true,
         QStringLiteral(
             "インポートのときに尋ねるパスワードを入力する（このセッションの間だけ覚え、どこにも書きません）"),
         QStringLiteral("接続テストにだけ使います（保存しません）")},
        {false, false, true, QStringLiteral("chmod 600 ") + QDir::home().filePath(QStringLiteral(".pgpass")),
         QStringLiteral("接続テストにだけ使います（保存しません）")},
    };
    setup.current = Server(QStringLiteral("ledger.office.example"), QString());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.note.toStdString());
        setup.keyring = c.keyring;
        setup.stored = c.stored;
        open();
        EXPECT_EQ(field("txtPassword").isEnabled(), c.enabled);
        EXPECT_EQ(field("txtPassword").echoMode(), QLineEdit::Password);
        EXPECT_TRUE(child<QLabel>("lblPassword").text().contains(c.note));
        EXPECT_EQ(field("txtPassword").placeholderText(), c.placeholder);
    }
}

TEST_F(LedgerPlaceWindow, WithoutAKeyringATypedPasswordIsTestedButNeverSaved)
{
    for (const bool keyring : {true, false}) {
        SCOPED_TRACE(keyring);
        setup.keyring = keyring;
        setup.current = Server(QStringLiteral("ledger.office.example"), QString());
        open();
        QTest::keyClicks(&field("txtPassword"), QStringLiteral("s3cret"));
        child<QPushButton>("cmdTest").click();
        EXPECT_EQ(setup.testedPassword, QStringLiteral("s3cret"));
        dialog->accept();
        ASSERT_TRUE(setup.saved);
        EXPECT_EQ(setup.savedPassword, keyring ? QStringLiteral("s3cret") : QString());
    }
}

TEST_F(LedgerPlaceWindow, TheConnectionTestUsesTheFieldsAndSaysWhatItFound)
{
    setup.testResult = {false, 0, QStringLiteral("パスワードが違います。")};
    open();
    child<QRadioButton>("optServer").setChecked(true);
    QTest::keyClicks(&field("txtHost"), QStringLiteral("ledger.office.example"));
    QTest::keyClicks(&field("txtPassword"), QStringLiteral("s3cret"));
    child<QPushButton>("cmdTest").click();

    ASSERT_TRUE(setup.tested);
    EXPECT_EQ(setup.tested->strHost, QStringLiteral("ledger.office.example"));
    EXPECT_EQ(setup.tested->strSslMode, QStringLiteral("verify-full"));
    EXPECT_EQ(setup.testedPassword, QStringLiteral("s3cret"));
    EXPECT_EQ(desktop.prompts(), QStringList{QStringLiteral("パスワードが違います。")});
    EXPECT_EQ(desktop.messages[0].title, QStringLiteral("台帳の場所"));
    EXPECT_EQ(desktop.pointers, std::vector<int>({POINTER_HOURGLASS, POINTER_DEFAULT}));
    EXPECT_FALSE(setup.saved);  // a test saves nothing
}

// What keeps the choice from being saved is told, and the dialog stays.
TEST_F(LedgerPlaceWindow, AChoiceThatCannotBeSavedKeepsTheDialogOpen)
{
    struct Case {
        const char* name;
        LedgerPlace place;
        QString saveFailure;
        QString told;
        bool saveCalled;
    };
    const Case cases[] = {
        {"no host", Server(QString(), QStringLiteral("prefer")), QString(),
         QStringLiteral("サーバーのホストを入力してください。"), false},
        {"no service", Service(QString()), QString(),
         QStringLiteral("pg_service.conf のサービス名を入力してください。"), false},
        {"keyring refused", Service(QStringLiteral("office")),
         QStringLiteral("パスワードをキーリングに保存できません。"),
         QStringLiteral("パスワードをキーリングに保存できません。"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.messages.clear();
        setup.saved.reset();
        setup.current = c.place;
        setup.saveFailure = c.saveFailure;
        open();
        dialog->setResult(-1);
        dialog->accept();
        EXPECT_EQ(dialog->result(), -1);
        EXPECT_EQ(desktop.prompts(), QStringList{c.told});
        EXPECT_EQ(setup.saved.has_value(), c.saveCalled);
    }
}

TEST_F(LedgerPlaceWindow, SaysWhenTheEnvironmentComesBeforeTheChoice)
{
    for (const bool environment : {false, true}) {
        setup.environment = environment;
        open();
        EXPECT_EQ(child<QLabel>("lblEnvironment").isVisibleTo(dialog.get()), environment);
    }
}

}  // namespace
