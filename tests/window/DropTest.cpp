#include "WindowFixture.h"

namespace {

const QString kSeveralFiles = QStringLiteral("一度に複数のファイルを取り込むことは出来ません。");
const QString kNotCsv =
    QStringLiteral("CSVファイルか、Excel・LibreOffice のブック（.xlsx・.xlsm・.xls・.ods）を選択して下さい。");
const QString kSelectionError = QStringLiteral("ファイル選択エラー");

class DropTest : public WindowTest {
protected:
    void expectBoldTenPoint() const
    {
        EXPECT_TRUE(lblFileName().font().bold());
        EXPECT_EQ(lblFileName().font().pointSize(), 10);
    }
    void expectOnlyMessage(const QString& prompt) const
    {
        ASSERT_EQ(desktop.messages.size(), 1u);
        EXPECT_EQ(desktop.messages[0].prompt, prompt);
        EXPECT_EQ(desktop.messages[0].flags, 4160);
        EXPECT_EQ(desktop.messages[0].title, kSelectionError);
    }
};

TEST_F(DropTest, NamesEndingInCsvOrAWorkbooksEndingInAnyCaseAreShownWholeInBoldTenPoint)
{
    const QStringList accepted = {
        files.filePath(QStringLiteral("report.csv")),
        files.filePath(QStringLiteral("REPORT.Csv")),
        files.filePath(QStringLiteral("datacsv")),
        QStringLiteral("/no/such/folder/very long name with spaces and 日本語 and more and more/x.CSV"),
        files.filePath(QStringLiteral("売上.xlsx")),
        files.filePath(QStringLiteral("SALES.XLSM")),
        files.filePath(QStringLiteral("sales.Xls")),
        files.filePath(QStringLiteral("sales.ods")),
    };
    for (const QString& path : accepted) {
        dropPath(path);
        EXPECT_EQ(lblFileName().text(), path);
        expectBoldTenPoint();
    }
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(desktop.pointers.empty());
    EXPECT_EQ(lblInformation().text(), QString());
}

TEST_F(DropTest, FoldersAreJudgedByTheirNameAlone)
{
    QDir(files.path()).mkdir(QStringLiteral("archive.Csv"));
    QDir(files.path()).mkdir(QStringLiteral("plain"));
    const QString csvFolder = files.filePath(QStringLiteral("archive.Csv"));

    // A folder URL may end in a separator; the name still ends the path.
    dropUrls({QUrl::fromLocalFile(csvFolder + QLatin1Char('/'))});
    EXPECT_EQ(lblFileName().text(), csvFolder);
    EXPECT_TRUE(desktop.messages.empty());

    dropPath(files.filePath(QStringLiteral("plain")));
    expectOnlyMessage(kNotCsv);
    EXPECT_EQ(lblFileName().text(), QString());
}

TEST_F(DropTest, OtherEndingsAreRefusedAndClearTheChoiceButKeepTheFont)
{
    const QStringList refused = {
        QStringLiteral("data.csv.txt"),  QStringLiteral("data.tsv"),
        QStringLiteral("data.ｃｓｖ"),  // full-width letters upper-case to full-width
        QStringLiteral("data.ＣＳＶ"),   QStringLiteral("data.xlsb"),
        QStringLiteral("data.xlsx.txt"), QStringLiteral("data.fods"),
    };
    for (const QString& name : refused) {
        desktop.messages.clear();
        dropPath(files.filePath(QStringLiteral("good.csv")));
        ASSERT_FALSE(lblFileName().text().isEmpty());

        dropPath(files.filePath(name));
        expectOnlyMessage(kNotCsv);
        EXPECT_EQ(lblFileName().text(), QString()) << name.toStdString();
        expectBoldTenPoint();
    }
}

TEST_F(DropTest, SeveralItemsAreRefusedEvenWhenAllEndInCsv)
{
    dropPath(files.filePath(QStringLiteral("chosen.csv")));
    dropPaths({files.filePath(QStringLiteral("a.csv")), files.filePath(QStringLiteral("b.csv"))});
    expectOnlyMessage(kSeveralFiles);
    EXPECT_EQ(lblFileName().text(), QString());

    // Only local entries count: a web link beside one file is still one file.
    desktop.messages.clear();
    const QString local = files.filePath(QStringLiteral("c.csv"));
    dropUrls({QUrl(QStringLiteral("https://example.org/d.csv")), QUrl::fromLocalFile(local)});
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(lblFileName().text(), local);
}

TEST_F(DropTest, ADropWithoutFilesIsTheStandardReportAndChangesNothing)
{
    const QString chosen = files.filePath(QStringLiteral("chosen.csv"));
    dropPath(chosen);

    QMimeData text;
    text.setText(QStringLiteral("/tmp/typed.csv"));
    SendDrop(lblItem(), text);
    dropUrls({QUrl(QStringLiteral("https://example.org/remote.csv"))});

    ASSERT_EQ(desktop.messages.size(), 2u);
    for (const auto& message : desktop.messages) {
        EXPECT_TRUE(message.prompt.startsWith(QStringLiteral("FM-man1001\r\n"))) << message.prompt.toStdString();
        EXPECT_GT(message.prompt.size(), QStringLiteral("FM-man1001\r\n").size());
        EXPECT_EQ(message.flags, 0);
        EXPECT_EQ(message.title, QString());
    }
    EXPECT_EQ(lblFileName().text(), chosen);
    EXPECT_TRUE(desktop.pointers.empty());
}

TEST_F(DropTest, TheDropFinishesFirstAndTellsTheSourceCopyOnlyForAFileItTakes)
{
    struct Case {
        QList<QUrl> urls;
        bool taken;
    };
    const QString chosen = files.filePath(QStringLiteral("chosen.csv"));
    const std::vector<Case> cases = {
        {{QUrl::fromLocalFile(files.filePath(QStringLiteral("next.CSV")))}, true},
        {{QUrl::fromLocalFile(files.filePath(QStringLiteral("notes.txt")))}, false},
        {{QUrl::fromLocalFile(files.filePath(QStringLiteral("a.csv"))),
          QUrl::fromLocalFile(files.filePath(QStringLiteral("b.csv")))},
         false},
        {{QUrl(QStringLiteral("https://example.org/remote.csv"))}, false},
    };
    for (const Case& drop : cases) {
        dropPath(chosen);
        desktop.messages.clear();
        QMimeData data;
        data.setUrls(drop.urls);
        const DropResult result = SendDrop(lblItem(), data);

        // Nothing is shown or changed while the source waits for the drop.
        EXPECT_EQ(result.dropAccepted, drop.taken);
        EXPECT_EQ(result.action, drop.taken ? Qt::CopyAction : Qt::IgnoreAction);
        EXPECT_TRUE(desktop.messages.empty());
        EXPECT_EQ(lblFileName().text(), chosen);

        // Once the event loop is back, the drop rule runs as before.
        DeliverPosted();
        EXPECT_EQ(desktop.messages.size(), drop.taken ? 0u : 1u);
        if (drop.taken) {
            EXPECT_EQ(lblFileName().text(), drop.urls.first().toLocalFile());
        }
    }
}

TEST_F(DropTest, OpeningWithFilesFollowsTheDropRule)
{
    const QString path = files.filePath(QStringLiteral("opened.csv"));
    window->OpenWith({path});
    EXPECT_EQ(lblFileName().text(), QString());  // taken once the event loop runs
    DeliverPosted();
    EXPECT_EQ(lblFileName().text(), path);
    expectBoldTenPoint();
    EXPECT_TRUE(desktop.messages.empty());

    window->OpenWith({files.filePath(QStringLiteral("opened.txt"))});
    DeliverPosted();
    expectOnlyMessage(kNotCsv);
    EXPECT_EQ(lblFileName().text(), QString());

    desktop.messages.clear();
    window->OpenWith({path, files.filePath(QStringLiteral("other.csv"))});
    DeliverPosted();
    expectOnlyMessage(kSeveralFiles);
    EXPECT_EQ(lblFileName().text(), QString());
}

}  // namespace
