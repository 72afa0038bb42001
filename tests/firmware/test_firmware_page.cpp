// The Firmware Update page in the main window: file choice, labels, the bar during a download.

#include "app/AppFixture.h"
#include "firmware/Controls.h"
#include "firmware/FirmwareOps.h"
#include "firmware/pages/FirmwarePage.h"

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
    EXPECT_EQ(f.find<QLabel>("PLabel")->text(), "100 %");
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
    EXPECT_EQ(f.s.PendingOp, Op::FwPlainData);
    f.s.PendingOp = 0; // no modal completion message in this test
}

} // namespace
} // namespace trivel::test
