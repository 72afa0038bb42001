#include "SettingFileFixture.h"

#include "app/AppFixture.h"
#include "files/SettingFileActions.h"
#include "files/SettingFileDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
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
    f.dialogs->SaveDlg = [&] { return path; };
    QString said;
    AnswerNextMessage(said);
    f.save->click();
    EXPECT_EQ(said, "File saved successfully.");
    ASSERT_TRUE(QFile::exists(path));

    f.s.settings.WindowSettings.BRI[0] = 1;
    f.dialogs->OpenDlg = [&] { return path; };
    f.load->click();
    EXPECT_NE(f.s.settings.WindowSettings.BRI[0], 1);

    // Busy: neither button asks for a name.
    int asked = 0;
    f.dialogs->SaveDlg = f.dialogs->OpenDlg = [&] {
        ++asked;
        return QString();
    };
    f.s.PendingOp = 9000;
    f.save->click();
    f.load->click();
    EXPECT_EQ(asked, 0);
    f.s.PendingOp = 0;
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

} // namespace
} // namespace trivel::test
