// The Export... and Import... buttons of the main window, with their dialogs replaced: an export
// writes every window the tool holds; an import asks the window and region, shows the plan's worst
// difference, saves the undo file and only then sends; a cancel or a refusal sends nothing.

#include "AppFixture.h"
#include "files/SettingFile.h"
#include "interchange/ImportPlan.h"
#include "interchange/Mpcdi.h"
#include "interchange/pages/InterchangeDialogs.h"
#include "protocol/Frame.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPainter>
#include <QTimer>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace trivel {
namespace {

using test::AppFixture;

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Recorded {
    QStringList regionsOffered;
    int windowsOffered = 0;
    double worstShown = -1;
    QString undoShown;
    QStringList told;
};

class InterchangeButtons : public ::testing::Test {
protected:
    InterchangeDialogs& dialogs() { return *f.form.findChild<InterchangeDialogs*>("InterchangeDialogs"); }
    QPushButton* button(const char* name) { return f.find<QPushButton>(name); }

    // Answers every dialog and keeps what they were shown.
    void answer(const QString& file, std::optional<ImportChoice> choice, bool confirm)
    {
        InterchangeDialogs& d = dialogs();
        d.ExportDlg = [file] { return file; };
        d.ImportDlg = [file] { return file; };
        d.ChooseDlg = [this, choice](const QStringList& regions, int windows, int) {
            seen.regionsOffered = regions;
            seen.windowsOffered = windows;
            return choice;
        };
        d.ConfirmDlg = [this, confirm](const ImportPlan& plan, const QString& undo) {
            seen.worstShown = plan.worst.pixels;
            seen.undoShown = undo;
            return confirm;
        };
        d.Tell = [this](const QString& text, bool) { seen.told << text; };
        d.UndoPath = [](const QString& mpcdi) { return mpcdi + ".undo.WBF"; };
    }

    AppFixture f;
    QTemporaryDir dir;
    Recorded seen;
};

TEST_F(InterchangeButtons, SitBesideTheSettingButtonsWithTheirCaptions)
{
    ASSERT_NE(button("BtnExport"), nullptr);
    ASSERT_NE(button("BtnImport"), nullptr);
    EXPECT_EQ(button("BtnExport")->text(), QString::fromUtf8("Export\u2026"));
    EXPECT_EQ(button("BtnImport")->text(), QString::fromUtf8("Import\u2026"));
    EXPECT_EQ(button("BtnExport")->geometry(), QRect(658, 314, 66, 26));
    EXPECT_EQ(button("BtnImport")->geometry(), QRect(726, 314, 66, 26));
}

// Exported from the tool's own windows, the file imports back into window 2 of the box: the
// region list offered, the plan's worst difference (nothing to speak of) shown, the undo
// file written before the first table chunk, then the tables and the blend sent.
TEST_F(InterchangeButtons, ExportThenImportSendsThePlanAfterTheUndoFile)
{
    const QString file = dir.filePath("rig.mpcdi");
    f.s.settings().BlendSettings[0].setEdgeWidth(1, 240);
    answer(file, ImportChoice{QStringLiteral("window1"), 1, false}, true);
    button("BtnExport")->click();
    ASSERT_TRUE(Read(file).startsWith("PK"));
    EXPECT_EQ(seen.told.value(0), QStringLiteral("Windows 1 to 4 written to %1.").arg(file));

    test::FakeBoxTransport& link = f.connectFakeBox();
    bool undoBeforeTables = false;
    link.tamper = [&](std::vector<std::uint8_t>& reply) {
        if (FrameView(reply.data(), reply.size()).code() == Cmd::UserMapSourceX && !undoBeforeTables)
            undoBeforeTables = QFile::exists(file + ".undo.WBF");
    };
    button("BtnImport")->click();
    // No other window can be chosen while the import goes out.
    EXPECT_FALSE(f.find<QWidget>("BtnFrame")->isEnabled());
    EXPECT_FALSE(f.find<QWidget>("SLGroup")->isEnabled());
    ASSERT_TRUE(test::RunUntilIdle(f.s));
    EXPECT_TRUE(f.find<QWidget>("BtnFrame")->isEnabled());
    EXPECT_TRUE(f.find<QWidget>("SLGroup")->isEnabled());
    EXPECT_EQ(seen.regionsOffered, (QStringList{"window1", "window2", "window3", "window4"}));
    EXPECT_EQ(seen.windowsOffered, f.s.ChannelCount);
    // The tool's own tables come back within float rounding.
    EXPECT_GE(seen.worstShown, 0.0);
    EXPECT_LT(seen.worstShown, 0.001);
    EXPECT_EQ(seen.undoShown, file + ".undo.WBF");
    EXPECT_TRUE(undoBeforeTables);
    EXPECT_EQ(SettingFileKindOf(Read(file + ".undo.WBF")), SettingFileKind::WholeBox);
    ASSERT_TRUE(dialogs().lastImport().succeeded());
    EXPECT_EQ(f.box.requests(Cmd::UserMapSourceX), 44);
    EXPECT_EQ(f.box.requests(Cmd::UserMapApply), 1);
    ASSERT_TRUE(f.box.userMapTables(1));
    // The right blend of window 1 went to window 2 of the box.
    const auto& blend = f.box.settings().windows[1].blend;
    EXPECT_EQ(blend[2] | blend[3] << 8, 240);
    EXPECT_TRUE(seen.told.last().startsWith("Window 2 now holds the import"))
        << seen.told.last().toStdString();
}

// Nothing reaches the box when the user cancels a dialog, when no box is connected or when the
// file is refused; the refusal is said.
TEST_F(InterchangeButtons, ImportSendsNothingWhenCancelledOrRefused)
{
    const QString file = dir.filePath("rig.mpcdi");
    answer(file, ImportChoice{QStringLiteral("window1"), 0, false}, true);
    button("BtnExport")->click();
    QFile junk(dir.filePath("junk.mpcdi"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a zip");
    junk.close();

    button("BtnImport")->click();
    EXPECT_TRUE(seen.told.last().startsWith("Connect to the box first")) << seen.told.last().toStdString();

    struct Case {
        const char* name;
        QString file;
        std::optional<ImportChoice> choice;
        bool confirm;
        const char* told; // empty: nothing said
    };
    const Case cases[] = {
        {"file dialog cancelled", QString(), ImportChoice{QStringLiteral("window1"), 0, false}, true, ""},
        {"choice cancelled", file, std::nullopt, true, ""},
        {"not confirmed", file, ImportChoice{QStringLiteral("window1"), 0, false}, false, ""},
        {"not an archive", dir.filePath("junk.mpcdi"), ImportChoice{}, true, "not a ZIP archive"},
        {"no such region", file, ImportChoice{QStringLiteral("left"), 0, false}, true, "no region \"left\""},
    };
    f.connectFakeBox();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seen = {};
        answer(c.file, c.choice, c.confirm);
        button("BtnImport")->click();
        ASSERT_TRUE(test::RunUntilIdle(f.s));
        EXPECT_EQ(f.box.requests(Cmd::UserMapSourceX), 0);
        EXPECT_FALSE(QFile::exists(file + ".undo.WBF"));
        if (*c.told) {
            EXPECT_TRUE(seen.told.value(0).contains(QLatin1String(c.told)))
                << seen.told.value(0).toStdString();
        } else {
            EXPECT_TRUE(seen.told.isEmpty());
        }
    }
}

// Not a check: the main window with the import's two dialogs as the user meets them, for docs/
// (run with --gtest_also_run_disabled_tests and TRIVEL_SCREENSHOT_DIR set, under xvfb-run).
TEST_F(InterchangeButtons, DISABLED_Screenshot)
{
    const QString out = qEnvironmentVariable("TRIVEL_SCREENSHOT_DIR");
    ASSERT_FALSE(out.isEmpty());
    const QString file = dir.filePath("show.mpcdi");
    f.s.settings().BlendSettings[0].setEdgeWidth(1, 240);
    answer(file, std::nullopt, false);
    button("BtnExport")->click();
    f.connectFakeBox();
    f.form.show();
    InterchangeDialogs& d = dialogs();
    d.ChooseDlg = {};
    d.ConfirmDlg = {};
    // The real dialogs, each grabbed once it is up and then closed.
    QList<QImage> shots;
    auto grabAndClose = [&shots](bool accept) {
        QTimer::singleShot(300, [&shots, accept] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w)
                return;
            shots << w->grab().toImage();
            if (auto* dlg = qobject_cast<QDialog*>(w))
                accept ? dlg->accept() : dlg->reject();
        });
    };
    InterchangeDialogs fresh(f.tool, &f.form, button("BtnExport"), button("BtnImport"), {});
    d.ChooseDlg = [&](const QStringList& regions, int windows, int current) {
        grabAndClose(true);
        return fresh.ChooseDlg(regions, windows, current);
    };
    d.UndoPath = fresh.UndoPath;
    d.ConfirmDlg = [&](const ImportPlan& plan, const QString& undo) {
        grabAndClose(false);
        return fresh.ConfirmDlg(plan, undo);
    };
    d.importClicked();
    ASSERT_EQ(shots.size(), 2);
    const QImage main = f.form.grab().toImage();
    QImage canvas(main.width() + 16 + std::max(shots[0].width(), shots[1].width()),
        std::max(main.height(), shots[0].height() + 16 + shots[1].height()), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    p.drawImage(0, 0, main);
    p.drawImage(main.width() + 16, 0, shots[0]);
    p.drawImage(main.width() + 16, shots[0].height() + 16, shots[1]);
    p.end();
    EXPECT_TRUE(canvas.save(out + "/interchange-import.png"));
}

} // namespace
} // namespace trivel
