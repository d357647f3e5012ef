#include "WindowFixture.h"

#include <QAction>
#include <QTest>

namespace {

// A file chosen in the dialog, or handed over by a later start of the
// program, is taken exactly as a drop of it: the same rule, the same refusals.
class ChooseFileTest : public WindowTest {
protected:
    ChooseFileTest()
    {
        window->SetFileChooser([this](QWidget*, const QString& start) {
            startFolders << start;
            return answer;
        });
    }
    QAction& action(const char* name) const { return child<QAction>(name); }

    QString answer;
    QStringList startFolders;
};

TEST_F(ChooseFileTest, TheChoiceIsTakenAsADropOfThatFileRefusalsIncluded)
{
    struct Case {
        const char* what;
        QString chosen;
        QString shown;    // lblFileName afterwards
        QString refusal;  // the drop rule's box, or none
    };
    const QString kept = files.filePath(QStringLiteral("kept.csv"));
    const Case cases[] = {
        {"a CSV file", files.filePath(QStringLiteral("report.CSV")), files.filePath(QStringLiteral("report.CSV")), {}},
        {"another ending", files.filePath(QStringLiteral("notes.txt")), QString(),
         QStringLiteral("CSVファイルか、Excel・LibreOffice のブック（.xlsx・.xlsm・.xls・.ods）を選択して下さい。")},
        {"cancelled", QString(), kept, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dropPath(kept);
        desktop.messages.clear();
        answer = c.chosen;
        window->ChooseFile();
        DeliverPosted();
        EXPECT_EQ(lblFileName().text(), c.shown);
        if (c.refusal.isEmpty()) {
            EXPECT_TRUE(desktop.messages.empty());
        } else {
            ASSERT_EQ(desktop.messages.size(), 1u);
            EXPECT_EQ(desktop.messages[0].prompt, c.refusal);
            EXPECT_EQ(desktop.messages[0].flags, 4160);
            EXPECT_EQ(desktop.messages[0].title, QStringLiteral("ファイル選択エラー"));
        }
        EXPECT_TRUE(lblFileName().font().bold());
    }
}

// Ctrl+O is among the keyboard's commands (DesignTest).
TEST_F(ChooseFileTest, ADoubleClickWithTheLeftButtonAndTheMenuEntryOpenTheDialog)
{
    window->show();
    QTest::mouseDClick(&lblItem(), Qt::LeftButton);
    QTest::mouseDClick(&lblItem(), Qt::RightButton);
    action("mnuOpen").trigger();
    EXPECT_EQ(startFolders.size(), 2);
}

TEST_F(ChooseFileTest, TheDialogStartsInTheLastFolderUsedAndTheSettingsKeepIt)
{
    QDir(files.path()).mkdir(QStringLiteral("April"));
    QDir(files.path()).mkdir(QStringLiteral("May"));
    const QString april = files.filePath(QStringLiteral("April"));
    const QString may = files.filePath(QStringLiteral("May"));
    QStringList kept;
    window->SetFolderMemory({[&] { return april; }, [&](const QString& folder) { kept << folder; }});

    window->ChooseFile();
    answer = may + QStringLiteral("/sales.csv");
    window->ChooseFile();
    // A dropped file's folder is the last used as well; a refused one changes nothing.
    dropPath(april + QStringLiteral("/purchase.csv"));
    dropPath(may + QStringLiteral("/notes.txt"));
    answer.clear();
    window->ChooseFile();
    EXPECT_EQ(startFolders, (QStringList{april, april, april}));
    EXPECT_EQ(kept, (QStringList{may, april}));

    // A remembered folder that is gone gives way to the home folder.
    window->SetFolderMemory({[] { return QStringLiteral("/no/such/folder"); }, {}});
    EXPECT_EQ(window->StartFolder(), QDir::homePath());
}

TEST_F(ChooseFileTest, FilesHandedOverByALaterStartAreADropAndBringTheWindowToTheFront)
{
    const QString path = files.filePath(QStringLiteral("handed.csv"));
    window->showMinimized();
    window->HandedOver({path});
    DeliverPosted();
    EXPECT_EQ(lblFileName().text(), path);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());

    // Several files are refused as a drop of several would be; none leaves the choice.
    window->HandedOver({path, files.filePath(QStringLiteral("other.csv"))});
    DeliverPosted();
    EXPECT_EQ(desktop.prompts(), QStringList{QStringLiteral("一度に複数のファイルを取り込むことは出来ません。")});
    dropPath(path);
    window->HandedOver({});
    DeliverPosted();
    EXPECT_EQ(lblFileName().text(), path);
}

}  // namespace
