#include "SettingFileFixture.h"

#include "app/AppFixture.h"
#include "files/SettingFileActions.h"
#include "files/SettingFileDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace trivel::test {
namespace {

// Answers the next message box with OK and keeps its text.
void AnswerNextMessage(QString& text)
{
    QTimer::singleShot(0, [&text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
}

// The same for a message that follows a dialog: looks again on each turn of the event loop until
// the box is up (a bounded number of turns, so that no stale check outlives the test).
void AnswerMessageOnceShown(QString& text, int turns = 100)
{
    QTimer::singleShot(0, [&text, turns] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        } else if (turns > 0) {
            AnswerMessageOnceShown(text, turns - 1);
        }
    });
}

struct ButtonsFixture : AppFixture {
    SettingFileDialogs* dialogs = form.findChild<SettingFileDialogs*>();
    QPushButton* save = find<QPushButton>("TntButton1");
    QPushButton* load = find<QPushButton>("TntButton2");
};

TEST(SettingFileButtons, SaveThenLoadThroughTheButtons)
{
    ButtonsFixture f;
    ASSERT_NE(f.dialogs, nullptr);
    QTemporaryDir dir;
    const QString path = dir.filePath("RIG.WBF");
    FillEveryField(f.s);
    f.dialogs->SaveDlg = [&] { return SaveChoice{path, true}; };
    QString said;
    AnswerNextMessage(said);
    f.save->click();
    EXPECT_TRUE(said.startsWith("File saved successfully.\n\nRIG.WBF: whole-box file with windows 1 to 4"))
        << said.toStdString();
    ASSERT_TRUE(QFile::exists(path));

    f.s.settings().WindowSettings.BRI[0] = 1;
    f.dialogs->OpenDlg = [&] { return path; };
    f.load->click();
    EXPECT_NE(f.s.settings().WindowSettings.BRI[0], 1);

    // Busy: neither button asks for a name.
    int asked = 0;
    f.dialogs->OpenDlg = [&] {
        ++asked;
        return QString();
    };
    f.dialogs->SaveDlg = [&] {
        ++asked;
        return SaveChoice{};
    };
    f.s.transfer.Running = true; // a setting transfer under way
    f.save->click();
    f.load->click();
    EXPECT_EQ(asked, 0);
    f.s.transfer.Running = false;
    f.save->click(); // cancelled: nothing written, nothing said
    EXPECT_EQ(asked, 1);
}

TEST(SettingFileButtons, RefusedLoadShowsWhy)
{
    ButtonsFixture f;
    QTemporaryDir dir;
    const QString path = dir.filePath("OTHER.WBF");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QByteArray("XYZ\x73\x01\x0b", 6) + QByteArray(20, '\0'));
    out.close();
    f.dialogs->OpenDlg = [&] { return path; };
    QString said;
    AnswerNextMessage(said);
    f.load->click();
    EXPECT_EQ(said, "File is not correct!! [ 11]");
}

// The real SaveDlg: its filter, default extension, overwrite question and place.
TEST(SettingFileButtons, SaveDialogIsSetUpAndPlacedAtTheMainWindow)
{
    ButtonsFixture f;
    f.form.move(40, 30);
    f.form.show();
    QStringList filters;
    QString suffix;
    bool confirms = false;
    QPoint at, expected;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        filters = dlg->nameFilters();
        suffix = dlg->defaultSuffix();
        confirms = !dlg->testOption(QFileDialog::DontConfirmOverwrite);
        at = dlg->pos();
        expected = f.form.frameGeometry().topLeft();
        dlg->reject();
    });
    f.save->click();
    EXPECT_EQ(filters, (QStringList{"Warp BOX Setting (*.WBF)", "Single channel setting (*.SBF)"}));
    EXPECT_EQ(suffix, "WBF");
    EXPECT_TRUE(confirms);
    EXPECT_EQ(at, expected);
}

// The real SaveDlg, as a user types: the chosen filter gives a bare name its extension, and a
// name ending in .wbf in any case is a whole-box file whatever the filter.
TEST(SettingFileButtons, SaveDialogWritesTheKindOfTheNameOrOfTheFilter)
{
    ButtonsFixture f;
    f.form.show();
    QTemporaryDir dir;
    f.s.CurrentWindow = 1;
    struct Case {
        bool wholeBoxFilter;
        const char* typed;
        const char* written;
        const char* magic;
    };
    const Case cases[] = {
        {true, "rig.wbf", "rig.wbf", "WPM"},
        {true, "rig", "rig.WBF", "WPM"},
        {false, "one", "one.SBF", "SBF"},
        {false, "low.wbf", "low.wbf", "WPM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        QString said;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            dlg->setDirectory(dir.path());
            // As the user picks the filter: from the keyboard on its combo box.
            auto* types = dlg->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            ASSERT_NE(types, nullptr);
            QTest::keyClick(types, Qt::Key_Home);
            if (c.wholeBoxFilter == false)
                QTest::keyClick(types, Qt::Key_Down);
            ASSERT_EQ(dlg->selectedNameFilter().startsWith("Warp BOX"), c.wholeBoxFilter);
            dlg->selectFile(QString::fromLatin1(c.typed));
            AnswerMessageOnceShown(said);
            static_cast<QDialog*>(dlg)->accept(); // QFileDialog hides its override
        });
        f.save->click();
        QFile written(dir.filePath(c.written));
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.read(3), c.magic);
        EXPECT_TRUE(
            said.contains(QStringLiteral("%1: %2 file with window")
                              .arg(c.written, QByteArray(c.magic) == "WPM" ? "whole-box" : "single-window")))
            << said.toStdString();
    }
}

} // namespace
} // namespace trivel::test
