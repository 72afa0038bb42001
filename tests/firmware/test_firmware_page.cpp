// The Firmware Update page in the main window: file choice, labels, the bar during a download.

#include "app/AppFixture.h"
#include "firmware/Controls.h"
#include "firmware/Firmware.h"
#include "firmware/pages/FirmwarePage.h"
#include "registers/Registers.h"
#include "session/Controls.h"
#include "session/PageTable.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace trivel::test {
namespace {

TEST(FirmwarePage, LoadShowsNameSizeDateAndChecksumThenDownloads)
{
    AppFixture f;
    QTemporaryDir dir;
    auto* page = f.form.findChild<FirmwarePage*>();
    ASSERT_NE(page, nullptr);

    auto* reset = f.find<QCheckBox>("CBReset");
    ASSERT_NE(reset, nullptr);
    EXPECT_TRUE(reset->isChecked());
    EXPECT_FALSE(reset->isEnabled());
    EXPECT_TRUE(reset->isHidden());
    // No percent before a download has started.
    EXPECT_EQ(f.find<QLabel>("PLabel")->text(), "");
    EXPECT_FALSE(f.find<QPushButton>("ProgBtn")->isEnabled());

    // 4799 bytes summing to 0x0012ABCD.
    QByteArray bytes(4798, '\xFF');
    bytes.append(char(139));
    const QString path = dir.filePath("fw.bin");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    page->OpenDialog1 = [&] { return path; };
    QTest::mouseClick(f.find<QPushButton>("BtnLoad"), Qt::LeftButton);
    EXPECT_EQ(f.find<QLineEdit>("FileLabel")->text(), path);
    EXPECT_EQ(f.find<QLabel>("SizeLabel")->text(), "4799");
    EXPECT_EQ(f.find<QLabel>("CksLabel")->text(), "0012 ABCD");
    EXPECT_EQ(f.find<QLabel>("DateLabel")->text(),
        QLocale().toString(QFileInfo(path).lastModified(), QLocale::ShortFormat));

    // A cancelled dialog changes nothing; a file gone since keeps the checksum, empties the rest.
    page->OpenDialog1 = [] { return QString(); };
    QTest::mouseClick(f.find<QPushButton>("BtnLoad"), Qt::LeftButton);
    EXPECT_EQ(f.find<QLabel>("SizeLabel")->text(), "4799");
    page->OpenDialog1 = [&] { return dir.filePath("gone.bin"); };
    QTest::mouseClick(f.find<QPushButton>("BtnLoad"), Qt::LeftButton);
    EXPECT_EQ(f.find<QLabel>("SizeLabel")->text(), "");
    EXPECT_EQ(f.find<QLabel>("DateLabel")->text(), "");
    EXPECT_EQ(f.find<QLabel>("CksLabel")->text(), "0012 ABCD");

    page->OpenDialog1 = [&] { return path; };
    QTest::mouseClick(f.find<QPushButton>("BtnLoad"), Qt::LeftButton);
    auto& link = f.connectFakeBox();
    link.delivery = Delivery::Pumped;
    f.ui.setEnabled(ctl::ProgBtn, true);
    QTest::mouseClick(f.find<QPushButton>("ProgBtn"), Qt::LeftButton);
    link.pump(10);
    auto* bar = f.find<QProgressBar>("ProgressBar1");
    EXPECT_EQ(bar->minimum(), -479);
    EXPECT_EQ(bar->maximum(), 4799 + 479);
    EXPECT_EQ(bar->value(), 10 * 256);
    EXPECT_EQ(
        f.find<QLabel>("PLabel")->text(), QString::number((10 * 256 + 479) * 100 / (4799 + 2 * 479)) + " %");
    EXPECT_EQ(bar->palette().color(QPalette::Highlight), QColor(0x80, 0x00, 0x80));
    EXPECT_EQ(f.find<QPushButton>("ProgBtn")->text(), "Downloading");
    EXPECT_FALSE(f.find<QPushButton>("ProgBtn")->isEnabled());
    EXPECT_TRUE(f.tool.firmware.running());
    f.tool.firmware.update().cancel(); // no modal completion message in this test
}

// Not a check: renders the pages for docs/ (run with --gtest_also_run_disabled_tests and
// TRIVEL_SCREENSHOT_DIR set).
TEST(FirmwarePage, DISABLED_Screenshots)
{
    const QString out = qEnvironmentVariable("TRIVEL_SCREENSHOT_DIR");
    ASSERT_FALSE(out.isEmpty());
    AppFixture f;
    QTemporaryDir dir;
    const QString path = dir.filePath("T52QBL_M2A_3_0_6.bin");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes(1 << 20, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 131 + (i >> 9));
        file.write(bytes);
    }
    auto& link = f.connectFakeBox();
    link.delivery = Delivery::Pumped;
    f.ui.setCaption(ctl::MCUVersion, "M2A93224");
    f.form.show();
    f.tool.firmware.loadImage(path);
    f.ui.setEnabled(ctl::ProgBtn, true);
    f.tool.firmware.startUpdate();
    link.pump(2600);
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.form.grab().save(out + "/firmware-page-download.png"));
    f.tool.firmware.update().cancel();
    link.dropQueued();
    f.ui.setEnabled(ctl::GroupBox1, true); // as the end of an update leaves it

    link.delivery = Delivery::Synchronous;
    f.box.replyHook = [](std::uint32_t code, std::vector<std::uint8_t>& r) {
        if (code == Cmd::RegisterRead)
            for (std::size_t k = 0; k < r[9]; ++k)
                r[33 + 2 * k] = std::uint8_t(k == 0 ? 0 : (k * 37) ^ 0x5A);
        return true;
    };
    SetPageAvailable(f.s, Page::Register, true);
    SetActivePage(f.s, Page::Register);
    const Operation<void> read = f.tool.registers.readBank();
    f.tool.registers.selectCell(3, 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.form.grab().save(out + "/register-page-bank-read.png"));
}

} // namespace
} // namespace trivel::test
