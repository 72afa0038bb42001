// The progress panel of long box operations: what it says while a whole-box setting transfer
// runs, and what it keeps from being used meanwhile.

#include "AppFixture.h"

#include "files/SettingTransfer.h"
#include "box/Readback.h"
#include "box/StatusPoll.h"

#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

using namespace trivel;
using namespace trivel::test;

TEST(ProgressPanel, TimeLeftInFiveSecondSteps)
{
    const struct {
        qint64 ms;
        const char* text;
    } cases[] = {
        {0, "a few seconds left"},
        {-300, "a few seconds left"},
        {1, "about 5 s left"},
        {5000, "about 5 s left"},
        {5001, "about 10 s left"},
        {59000, "about 1 min left"},
        {84200, "about 1 min 25 s left"},
        {600000, "about 10 min left"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressPanel::TimeLeftText(c.ms), QString::fromLatin1(c.text)) << c.ms;
}

namespace {

// Seconds of "about 1 min 25 s left", or -1.
int SecondsLeft(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^about (?:(\\d+) min ?)?(?:(\\d+) s)? ?left$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return -1;
    return m.captured(1).toInt() * 60 + m.captured(2).toInt();
}

} // namespace

// A whole-box transfer says which part of which window it is sending and how long it has to
// go; the window buttons, the pages and the file buttons wait, the window keys do nothing, and
// all comes back when the transfer ends.
TEST(ProgressPanel, AWholeBoxTransferShowsItsStepAndTimeLeftAndHoldsWhatWouldDisturbIt)
{
    AppFixture f;
    f.form.show();
    FakeBoxTransport& link = f.connectFakeBox();
    for (auto& in : f.box.inputSignals.input)
        in = {1920, 1080};
    SendIdentify(f.s);
    RunUntilIdle(f.s, 50, 5000);
    ASSERT_EQ(f.s.ChannelCount, 4);
    ASSERT_TRUE(f.s.flag(Flag::UserMask));
    f.s.BoardMask = 0x3;
    QWidget* held[] = {f.find("BtnFrame"), f.find("GroupBox1"), f.find("SLGroup")};
    for (QWidget* w : held)
        ASSERT_TRUE(w->isEnabled()) << qPrintable(w->objectName());

    link.delivery = Delivery::Pumped;
    const qint64 start = f.clock.tickMs();
    const Operation<void> op = f.form.settingFiles().transfer(true);
    ProgressPanel* panel = f.form.UpdateStep;
    ASSERT_TRUE(panel->isUp());
    for (QWidget* w : held)
        EXPECT_FALSE(w->isEnabled()) << qPrintable(w->objectName());
    // The core enabling a held group while the transfer runs changes nothing on screen yet.
    f.ui.setEnabled(ctl::BtnFrame, true);
    EXPECT_FALSE(f.find("BtnFrame")->isEnabled());

    QStringList steps;
    struct Estimate {
        qint64 at;
        int seconds;
    };
    std::vector<Estimate> estimates;
    bool keyTried = false;
    while (link.queued() > 0) {
        link.pump(1);
        QCoreApplication::processEvents();
        const QString step = panel->StepText->text();
        if (!step.isEmpty() && (steps.isEmpty() || steps.back() != step)) {
            steps << step;
            const int left = SecondsLeft(panel->TimeLeft->text());
            if (panel->isUp() && left >= 0)
                estimates.push_back({f.clock.tickMs(), left});
        }
        if (!keyTried && step.startsWith(QLatin1String("Window 2"))) {
            keyTried = true;
            QTest::keyClick(f.form.windowHandle(), Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);
            EXPECT_EQ(f.s.CurrentWindow, 0) << "Ctrl+Alt+2 does nothing during the transfer";
        }
    }
    ASSERT_FALSE(f.s.busy());
    const qint64 end = f.clock.tickMs();

    QStringList expected{"Mask slots"};
    for (int w = 1; w <= 4; ++w)
        for (const char* part : {"picture and signal settings", "warp", "blend and mask"})
            expected << QStringLiteral("Window %1 of 4: %2").arg(w).arg(QLatin1String(part));
    expected << "Reading the box back";
    EXPECT_EQ(steps, expected);

    // From the second window on, the time left is within a fifth of what it really was.
    EXPECT_GT(end - start, 60000) << "the pauses of four windows";
    int checked = 0;
    for (const Estimate& e : estimates) {
        const double real = double(end - e.at) / 1000.0;
        if (e.at - start < (end - start) / 4 || real < 20)
            continue;
        ++checked;
        EXPECT_NEAR(e.seconds, real, real / 5 + 5) << "at " << (e.at - start) / 1000 << " s";
    }
    EXPECT_GE(checked, 5);

    EXPECT_FALSE(panel->isUp());
    EXPECT_TRUE(panel->StepText->text().isEmpty());
    EXPECT_TRUE(panel->TimeLeft->text().isEmpty());
    for (QWidget* w : held)
        EXPECT_TRUE(w->isEnabled()) << qPrintable(w->objectName());
}

namespace {

// A box that hangs up or falls silent part-way through a whole-box load: the panel comes down and
// the user is told what happened, wherever the load stood.
TEST(ProgressPanel, ABoxLostOrSilentMidLoadTakesThePanelDownAndSaysSo)
{
    enum class Stop { Closes, FallsSilent };
    const struct {
        Stop stop;
        int after; // replies of the transfer before the box stops
        const char* says;
    } rows[] = {
        {Stop::Closes, 1, "Connection to the box lost."},
        {Stop::Closes, 40, "Connection to the box lost."},
        {Stop::Closes, 300, "Connection to the box lost."},
        {Stop::FallsSilent, 1, "No reply from the box."},
        {Stop::FallsSilent, 40, "No reply from the box."},
        {Stop::FallsSilent, 300, "No reply from the box."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.stop == Stop::Closes ? "closes" : "falls silent") + " after "
            + std::to_string(row.after));
        AppFixture f;
        QStringList shown;
        QTimer closer;
        closer.setInterval(0);
        QObject::connect(&closer, &QTimer::timeout, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->text();
                box->accept();
            }
        });
        closer.start();
        f.form.show();
        // Through the connection, as the Connect button opens it, so a hang-up reaches it.
        FakeBoxTransport* link = nullptr;
        f.connection.link().setTcpOpener([&f, &link](const QString&, quint16, QString*) {
            auto t = std::make_unique<FakeBoxTransport>(f.box);
            t->useClock(&f.clock);
            link = t.get();
            return std::unique_ptr<Transport>(std::move(t));
        });
        f.connection.RBTCPClick();
        f.s.ConnectAddressText = QStringLiteral("in-process");
        f.connection.BtnCnt2Click();
        ASSERT_NE(link, nullptr);
        RunUntilIdle(f.s, 50, 20000);
        ASSERT_TRUE(f.s.connected());
        ASSERT_EQ(f.s.ChannelCount, 4);

        link->delivery = Delivery::Pumped;
        StartSettingTransfer(f.s, true);
        ProgressPanel* panel = f.form.UpdateStep;
        ASSERT_TRUE(panel->isUp());
        for (int n = 0; n < row.after && link->queued() > 0; ++n) {
            link->pump(1);
            QCoreApplication::processEvents();
        }
        ASSERT_TRUE(panel->isUp()) << "stopped before the load was done";
        shown.clear();
        if (row.stop == Stop::Closes) {
            link->dropQueued();
            emit link->linkLost(QStringLiteral("closed by the box"));
        } else {
            link->silent = true;
            link->dropQueued();
        }
        for (int i = 0; i < 400 && (panel->isUp() || shown.isEmpty()); ++i) {
            QCoreApplication::processEvents();
            f.clock.advance(100);
        }
        EXPECT_FALSE(panel->isUp());
        EXPECT_TRUE(shown.contains(QLatin1String(row.says))) << shown.join(" | ").toStdString();
        EXPECT_LE(shown.size(), 1) << "said once: " << shown.join(" | ").toStdString();
    }
}

} // namespace
