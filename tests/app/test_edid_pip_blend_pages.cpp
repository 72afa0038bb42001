// The EDID, PIP, Blend 1, Blend 2 and edge-mask controls and the output settings, driven by
// their objectNames against the box model: the frames a user action sends, what a refresh
// shows, and values from the box that lie outside their tables.

#include "AppFixture.h"

#include "settings/BlendLogic.h"
#include "support/Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

using namespace trivel;
using namespace trivel::test;

namespace {

using Texts = std::vector<std::string>;

struct PagesFixture : AppFixture {
    PagesFixture()
    {
        connectFakeBox();
        // The PIP page is hidden and disabled until a PIP-capable box connects.
        SetPageAvailable(s, Page::Pip, true);
        // What a connect does before the pages are shown.
        ResetWindowSettings(s);
        RefreshBlendPages(s);
        sent();
    }

    // Setting texts (code 0x1002) sent since the last call, once every operation has ended.
    Texts sent()
    {
        RunUntilIdle(s);
        Texts texts;
        for (const auto& f : link->sent)
            if (f.size() >= 20 && f[4] == 0x02 && f[5] == 0x10)
                texts.emplace_back(reinterpret_cast<const char*>(f.data()) + 8, 10);
        link->clearLog();
        return texts;
    }

    template <class T = QWidget> T* w(const Control& c)
    {
        T* found = form.findChild<T*>(c.qname());
        EXPECT_NE(found, nullptr) << c.name;
        return found;
    }

    // A user drag of the thumb to `value`, then the release.
    void release(const Control& c, int value)
    {
        auto* bar = w<QAbstractSlider>(c);
        bar->setSliderDown(true);
        bar->setSliderPosition(value);
        bar->setSliderDown(false);
    }

    // A user's pick of a combo item from its list (selecting by code runs no handler).
    void choose(const Control& c, int item)
    {
        auto* combo = w<QComboBox>(c);
        combo->setCurrentIndex(item);
        emit combo->activated(item);
    }

    void selectWindow(int window)
    {
        s.CurrentWindow = window;
        RefreshPages(s);
        RefreshBlendPages(s);
    }

    QList<QRadioButton*> items(const Control& group)
    {
        return w<QGroupBox>(group)->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
    }
    int checkedItem(const Control& group)
    {
        const auto list = items(group);
        for (int i = 0; i < list.size(); ++i)
            if (list[i]->isChecked())
                return i;
        return -1;
    }
};

// Counts the warnings of the settings pages' log category.
struct LogCapture {
    static inline int count = 0;
    QtMessageHandler previous;
    LogCapture()
    {
        count = 0;
        previous = qInstallMessageHandler([](QtMsgType t, const QMessageLogContext& ctx, const QString&) {
            if (t == QtWarningMsg && ctx.category && QByteArray(ctx.category) == "trivel.settings")
                ++count;
        });
    }
    ~LogCapture() { qInstallMessageHandler(previous); }
};

} // namespace

TEST(EdidPage, CustomizeEnablesTheGroupAndApplySendsTheCustomCode)
{
    PagesFixture f;
    EXPECT_FALSE(f.w(ctl::TBH1W)->isEnabled());
    EXPECT_FALSE(f.w(ctl::BTNEDIDs[0])->isEnabled());
    // The custom size beside another timing is greyed out, so 1920 x 1080 beside "3840*2160p60"
    // does not read as the timing offered; the combo says what it is.
    EXPECT_EQ(f.w<QComboBox>(ctl::CBH1E)->currentText(), "3840*2160p60");
    EXPECT_FALSE(f.w(ctl::STH1W)->isEnabled());
    EXPECT_FALSE(f.w(ctl::STH1V)->isEnabled());
    EXPECT_TRUE(f.w(ctl::CBH1E)->toolTip().contains("EDID"));

    f.choose(ctl::CBH1E, 16);
    EXPECT_EQ(f.w<QComboBox>(ctl::CBH1E)->currentText(), "Customize");
    EXPECT_TRUE(f.sent().empty());
    EXPECT_EQ(f.s.settings().WindowSettings.H1E[0], 16);
    for (const Control* c : {&ctl::TBH1W, &ctl::TBH1V, &ctl::BTNEDIDs[0], &ctl::STH1W, &ctl::STH1V})
        EXPECT_TRUE(f.w(*c)->isEnabled()) << c->name;
    EXPECT_FALSE(f.w(ctl::TBH2W)->isEnabled()) << "only the group of that input";

    QTest::mouseClick(f.w<QPushButton>(ctl::BTNEDIDs[0]), Qt::LeftButton);
    EXPECT_EQ(f.sent(), Texts{"s00H1E+016"});

    // Another timing sends its code and disables the custom controls again.
    f.choose(ctl::CBH1E, 4);
    EXPECT_EQ(f.sent(), Texts{"s00H1E+004"});
    EXPECT_FALSE(f.w(ctl::TBH1W)->isEnabled());
    EXPECT_FALSE(f.w(ctl::STH1W)->isEnabled());
}

TEST(EdidPage, TrackBarsSendEveryChangeAndShowTheWidthRoundedTo8)
{
    PagesFixture f;
    f.w<QSlider>(ctl::TBH2W)->setValue(1925);
    EXPECT_EQ(f.w<QLabel>(ctl::STH2W)->text(), "1920");
    EXPECT_EQ(f.s.settings().WindowSettings.H2W[0], 1920);
    EXPECT_EQ(f.sent(), Texts{"s00H2W1925"});
    f.w<QSlider>(ctl::TBD2V)->setValue(1201);
    EXPECT_EQ(f.w<QLabel>(ctl::STD2V)->text(), "1201");
    EXPECT_EQ(f.sent(), Texts{"s00VGV1201"});

    // A refresh stores what it shows and sends nothing.
    f.s.settings().WindowSettings.H1W[1] = 2565;
    f.selectWindow(1);
    EXPECT_EQ(f.w<QSlider>(ctl::TBH1W)->value(), 2565);
    EXPECT_EQ(f.w<QLabel>(ctl::STH1W)->text(), "2560");
    EXPECT_EQ(f.s.settings().WindowSettings.H1W[1], 2560);
    EXPECT_TRUE(f.sent().empty());
}

TEST(EdidPage, VgaComboSendsTheCodeOfItsItemAndShowsItAfterAWindowSwitch)
{
    PagesFixture f;
    f.choose(ctl::CBD2E, 3);
    EXPECT_EQ(f.w<QComboBox>(ctl::CBD2E)->currentText(), "1280*800p60");
    EXPECT_EQ(f.sent(), Texts{"s00VGE+005"});
    EXPECT_EQ(f.s.settings().WindowSettings.VGE[0], 5);

    f.selectWindow(1);
    EXPECT_EQ(f.w<QComboBox>(ctl::CBD2E)->currentText(), "1920*1080p60");
    f.selectWindow(0);
    EXPECT_EQ(f.w<QComboBox>(ctl::CBD2E)->currentText(), "1280*800p60");
    EXPECT_TRUE(f.sent().empty());

    f.choose(ctl::CBD2E, 5);
    QTest::mouseClick(f.w<QPushButton>(ctl::BTNEDIDs[3]), Qt::LeftButton);
    EXPECT_EQ(f.sent(), Texts{"s00VGE+016"});
}

TEST(EdidPage, TimingCodesFromTheBoxAreBounded)
{
    // VGA codes without an item of their own, and codes past every table.
    const struct {
        int vge;
        const char* shown;
    } vga[] = {{0, "1920*1080p60"}, {1, "1920*1080p60"}, {2, "1920*1080p60"}, {6, "1920*1200p60"},
        {7, "1920*1080p60"}, {11, "1920*1080p60"}, {15, "1920*1080p60"}, {16, "Customize"},
        {17, "1920*1080p60"}, {255, "1920*1080p60"}};
    PagesFixture f;
    for (const auto& c : vga) {
        SCOPED_TRACE(c.vge);
        f.s.settings().WindowSettings.VGE[0] = std::uint8_t(c.vge);
        RefreshPages(f.s);
        EXPECT_EQ(f.w<QComboBox>(ctl::CBD2E)->currentText(), c.shown);
        EXPECT_EQ(f.w(ctl::TBD2W)->isEnabled(), c.vge == 16);
    }

    // An HDMI code past the list shows nothing and is logged once, however often it is shown.
    LogCapture log;
    f.s.settings().WindowSettings.H2E[0] = 40;
    RefreshPages(f.s);
    RefreshPages(f.s);
    EXPECT_EQ(f.w<QComboBox>(ctl::CBH2E)->currentIndex(), -1);
    EXPECT_FALSE(f.w(ctl::TBH2W)->isEnabled());
    EXPECT_EQ(LogCapture::count, 1);
    EXPECT_TRUE(f.sent().empty());
}

TEST(EdidPage, GroupCaptionsFollowTheWindowsInputs)
{
    const struct {
        bool pip;
        int window;
        const char* captions[4];
    } cases[] = {
        {true, 0, {"HDMI 1", "HDMI 2", "DP 1", "VGA 1"}},
        {true, 3, {"HDMI 7", "HDMI 8", "DP 4", "VGA 4"}},
        {false, 1, {"HDMI 1", "HDMI 2", "DP 1", "VGA 1"}},
        {false, 2, {"HDMI 3", "HDMI 4", "DP 2", "VGA 2"}},
    };
    PagesFixture f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window);
        f.s.setFlag(Flag::PipCapable, c.pip);
        f.selectWindow(c.window);
        const Control* frames[] = {&ctl::H1Frame, &ctl::H2Frame, &ctl::DP1Frame, &ctl::VGAFrame};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(f.w<QGroupBox>(*frames[i])->title(), c.captions[i]);
        // The PIP source items take them on a PIP-capable box only.
        if (c.pip) {
            EXPECT_EQ(f.items(ctl::PipGroups[2])[3]->text(), c.captions[3]);
        }
    }
}

TEST(PipPage, GroupsSendTheItemAndSlidersSendAtTheEndOfTheScroll)
{
    PagesFixture f;
    f.s.setFlag(Flag::PipCapable, true);
    // Start-up offers neither "90" nor "270".
    const auto orientation = f.items(ctl::PipGroups[3]);
    EXPECT_FALSE(orientation[1]->isEnabled());
    EXPECT_FALSE(orientation[2]->isEnabled());
    EXPECT_TRUE(orientation[3]->isEnabled());

    f.clock.clearWaits();
    QTest::mouseClick(f.items(ctl::PipGroups[0])[2], Qt::LeftButton);
    EXPECT_EQ(f.sent(), Texts{"s00PIO+002"});
    EXPECT_EQ(f.s.settings().PipSettings[0].bytes[PipRecord::PIO], 2);
    ASSERT_FALSE(f.clock.waits().empty());
    EXPECT_EQ(f.clock.waits().back().ms, 100);
    QTest::mouseClick(orientation[5], Qt::LeftButton);
    EXPECT_EQ(f.sent(), Texts{"s00POR+005"});

    f.release(ctl::PipOverlaps[3], -1200);
    EXPECT_EQ(f.sent(), Texts{"s00PBO9200"});
    EXPECT_EQ(f.s.settings().PipSettings[0].overlap[3], -1200);
    EXPECT_EQ(f.w<QLabel>(ctl::PipOverlapLabels[3])->text(), "-1200");

    f.release(ctl::PipSliders[1], 37);
    EXPECT_EQ(f.sent(), Texts{"s00PIH+037"});
    EXPECT_EQ(f.s.settings().PipSettings[0].bytes[PipRecord::PIH], 37);
}

TEST(PipPage, RefreshShowsTheRecordAndBoundsItsBytes)
{
    PagesFixture f;
    f.s.setFlag(Flag::PipCapable, true);
    PipRecord& r = f.s.settings().PipSettings[1];
    r.bytes[PipRecord::PIO] = 3;
    r.bytes[PipRecord::PIR] = 1;
    r.bytes[PipRecord::PIT] = 9; // past the four inputs
    r.bytes[PipRecord::POR] = 200; // past the six orientations
    r.bytes[PipRecord::PIZ] = 44;
    r.overlap[0] = -30;
    f.s.PipSourceSize[1] = {1280, 720};
    LogCapture log;
    f.selectWindow(1);
    f.selectWindow(1);
    EXPECT_EQ(f.checkedItem(ctl::PipGroups[0]), 3);
    EXPECT_EQ(f.checkedItem(ctl::PipGroups[1]), 1);
    EXPECT_EQ(f.checkedItem(ctl::PipGroups[2]), -1);
    EXPECT_EQ(f.checkedItem(ctl::PipGroups[3]), -1);
    EXPECT_EQ(LogCapture::count, 2) << "each bad byte once";
    EXPECT_EQ(f.w<QScrollBar>(ctl::PipSliders[0])->value(), 44);
    EXPECT_EQ(f.w<QLabel>(ctl::PipSliderLabels[0])->text(), "44");
    EXPECT_EQ(f.w<QScrollBar>(ctl::PipOverlaps[0])->value(), -30);
    EXPECT_EQ(f.w<QLabel>(ctl::STPIPRes)->text(), "1280 * 720");
    EXPECT_TRUE(f.sent().empty());

    f.selectWindow(0);
    EXPECT_EQ(f.w<QLabel>(ctl::STPIPRes)->text(), "- - - - - - - -");
}

TEST(OutputSettings, DeepColourOfAPairIsSentOnceAndStoredForBoth)
{
    PagesFixture f;
    f.s.setFlag(Flag::PairedOutputs, true);
    f.selectWindow(2);
    f.sent();
    QTest::mouseClick(f.w<QCheckBox>(ctl::CBDeepColor), Qt::LeftButton);
    EXPECT_EQ(f.sent(), Texts{"s00DCM+001"});
    EXPECT_EQ(f.s.settings().DCM[2], 1);
    EXPECT_EQ(f.s.settings().DCM[3], 1);
    EXPECT_EQ(f.s.settings().DCM[0], 0);

    // The partner shows it without a command; so does a refresh.
    f.selectWindow(3);
    EXPECT_TRUE(f.w<QCheckBox>(ctl::CBDeepColor)->isChecked());
    EXPECT_TRUE(f.sent().empty());

    // A setting transfer in progress: the caches it sends stay as they are.
    f.s.transfer.Running = true;
    QTest::mouseClick(f.w<QCheckBox>(ctl::CBDeepColor), Qt::LeftButton);
    EXPECT_TRUE(f.sent().empty());
    EXPECT_EQ(f.s.settings().DCM[3], 1);
}

TEST(OutputSettings, HdcpOutputSendsTheItemAndBoundsTheBoxValue)
{
    PagesFixture f;
    f.s.setFlag(Flag::PairedOutputs, true);
    QTest::mouseClick(f.items(ctl::RGHDCPOutput)[2], Qt::LeftButton);
    EXPECT_EQ(f.sent(), Texts{"s00HDO+002"});
    EXPECT_EQ(f.s.settings().HDO[0], 2);
    EXPECT_EQ(f.s.settings().HDO[1], 2);

    LogCapture log;
    f.s.settings().HDO[0] = 7;
    RefreshPages(f.s);
    EXPECT_EQ(f.checkedItem(ctl::RGHDCPOutput), -1);
    EXPECT_EQ(LogCapture::count, 1);
    EXPECT_TRUE(f.sent().empty());
}

TEST(BlendPages, SlidersSendThroughTheBuilders)
{
    const struct {
        const Control& control;
        int position;
        const char* sent;
        const Control* label;
        const char* shown;
    } cases[] = {
        {ctl::EdgeWidths[0], 49, "s00LEB+000", &ctl::EdgeWidthLabels[0], "0"},
        {ctl::EdgeWidths[0], 50, "s00LEB+050", &ctl::EdgeWidthLabels[0], "50"},
        {ctl::EdgeWidths[3], 1080, "s00BEB1080", &ctl::EdgeWidthLabels[3], "1080"},
        {ctl::EdgeShifts[2], -100, "s00EFT-100", &ctl::EdgeShiftLabels[2], "-100"},
        {ctl::GammaTrans[1], 250, "s00EBG+250", &ctl::GammaTransLabels[1], "2.5"},
        {ctl::GammaGains[2], 61, "s00GGB+061", &ctl::GammaGainLabels[2], "61"},
        {ctl::SCBias, 225, "s00EBL+225", &ctl::STBiasVal, "2.25"},
        {ctl::ColourGains[0], 70, "s00EGR+070", &ctl::ColourGainLabels[0], "70"},
        {ctl::ColourOffsets[1], 12, "s00EOG+012", &ctl::ColourOffsetLabels[1], "12"},
    };
    PagesFixture f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        f.release(c.control, c.position);
        EXPECT_EQ(f.sent(), Texts{c.sent});
        EXPECT_EQ(f.w<QLabel>(*c.label)->text(), c.shown);
    }
    EXPECT_EQ(f.s.settings().BlendSettings[0].edgeWidth(0), 50);
    EXPECT_EQ(f.s.settings().BlendSettings[0].edgeShift(2), -100);
    f.release(ctl::EdgeWidths[0], 49);
    EXPECT_EQ(f.s.settings().BlendSettings[0].edgeWidth(0), 0) << "49 is stored as no blend";
}

// The lowest edge position stores and shows 0, and the row says that this is no blend at all;
// any other width is in pixels.
TEST(BlendPages, AnEdgeWidthOfZeroSaysOff)
{
    PagesFixture f;
    QLabel* value = f.w<QLabel>(ctl::EdgeWidthLabels[0]);
    // The row's unit sits right of its value label.
    QLabel* unit = nullptr;
    for (auto* l : value->parentWidget()->findChildren<QLabel*>())
        if (l->y() == value->y() && l->x() > value->x())
            unit = l;
    ASSERT_NE(unit, nullptr);
    const struct {
        int position;
        const char* value;
        const char* unit;
    } cases[] = {{49, "0", "off"}, {50, "50", "px"}, {1920, "1920", "px"}, {49, "0", "off"}};
    for (const auto& c : cases) {
        f.release(ctl::EdgeWidths[0], c.position);
        EXPECT_EQ(value->text(), c.value) << c.position;
        EXPECT_EQ(unit->text(), c.unit) << c.position;
    }
    EXPECT_TRUE(f.w(ctl::EdgeWidths[0])->toolTip().contains("off"));
}

TEST(BlendPages, RegionAndCornerValuesSelectTheirPointOnce)
{
    PagesFixture f;
    QTest::mouseClick(f.w<QRadioButton>(ctl::RBOffsets[4]), Qt::LeftButton);
    EXPECT_TRUE(f.sent().empty()) << "choosing a region sends nothing";
    f.release(ctl::BlackOffsets[2], 12);
    EXPECT_EQ(f.sent(), (Texts{"s0095I+022", "s00BCB+012"}));
    f.release(ctl::BlackOffsets[0], 7);
    EXPECT_EQ(f.sent(), Texts{"s00BCR+007"});
    // The centre is slot 0 of the box's order.
    EXPECT_EQ(f.s.settings().BlendSettings[0].blackLevel(0, 2), 12);

    QTest::mouseClick(f.w<QRadioButton>(ctl::RBCorners[7]), Qt::LeftButton);
    f.release(ctl::CornerSliders[1], -900);
    EXPECT_EQ(f.sent(), (Texts{"s0095I+044", "s00EOY-900"}));
    EXPECT_EQ(f.s.settings().BlendSettings[0].cornerY(7), -900);

    // Back to the centre region: its values return to the sliders.
    QTest::mouseClick(f.w<QRadioButton>(ctl::RBOffsets[0]), Qt::LeftButton);
    EXPECT_EQ(f.w<QScrollBar>(ctl::BlackOffsets[2])->value(), 0);
    QTest::mouseClick(f.w<QRadioButton>(ctl::RBOffsets[4]), Qt::LeftButton);
    EXPECT_EQ(f.w<QScrollBar>(ctl::BlackOffsets[2])->value(), 12);
    EXPECT_TRUE(f.sent().empty());
}

TEST(BlendPages, TheFirstRegionOrCornerCommandAfterAResetSelectsItsPoint)
{
    const struct {
        const Control& button;
        const Control& bar;
        int position;
        Texts sent;
    } cases[] = {
        {ctl::RBOffsets[4], ctl::BlackOffsets[0], 5, {"s0095I+022", "s00BCR+005"}},
        {ctl::RBCorners[3], ctl::CornerSliders[0], -40, {"s0095I+018", "s00EOX-040"}},
        {ctl::RBMasks[6], ctl::MaskSliders[1], 300, {"s0095I+040", "s00EMY+300"}},
        {ctl::RBMasks[0], ctl::MaskSliders[0], 20, {"s0095I+000", "s00EMX+020"}},
    };
    PagesFixture f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent.back());
        for (int window : {0, 1}) {
            f.selectWindow(window);
            for (int round = 0; round < 2; ++round) {
                // What a connect does: the selections and the last point start afresh.
                ResetWindowSettings(f.s);
                RefreshBlendPages(f.s);
                f.sent();
                QTest::mouseClick(f.w<QRadioButton>(c.button), Qt::LeftButton);
                f.release(c.bar, c.position);
                EXPECT_EQ(f.sent(), c.sent) << "window " << window;
                f.release(c.bar, c.position + 1);
                EXPECT_EQ(f.sent().size(), 1u) << "then the point is already selected";
            }
        }
    }
}

TEST(BlendPages, ResetsSendTheirCommandsWithTheirPauses)
{
    const struct {
        const Control& button;
        Texts sent;
        std::vector<int> pauses; // in order, on the virtual clock
    } cases[] = {
        {ctl::BTNColorBiasReset, {"s00EOR+050", "s00EOG+050", "s00EOB+050"}, {500, 500, 500}},
        {ctl::BTNColorGainReset, {"s00EGR+050", "s00EGG+050", "s00EGB+050"}, {500, 500, 500}},
        {ctl::BtnEdgeReset, {"s00LEB+000", "s00REB+000", "s00TEB+000", "s00BEB+000"}, {100, 100, 100}},
        {ctl::BtnShiftRst, {"s00EFL+000", "s00EFR+000", "s00EFT+000", "s00EFB+000"}, {100, 100, 100}},
        {ctl::BtnGammaTransReset, {"s00EBR+220", "s00EBG+220", "s00EBB+220"}, {500, 500, 500}},
        {ctl::BtnGammaGainReset, {"s00GGR+050", "s00GGG+050", "s00GGB+050"}, {500, 500, 500}},
        {ctl::BtnBtnGammaBiasReset, {"s00EBL+220"}, {}},
    };
    PagesFixture f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent.front());
        f.clock.clearWaits();
        QTest::mouseClick(f.w<QPushButton>(c.button), Qt::LeftButton);
        EXPECT_EQ(f.sent(), c.sent);
        std::vector<int> pauses;
        for (const auto& wait : f.clock.waits())
            pauses.push_back(wait.ms);
        EXPECT_EQ(pauses, c.pauses);
    }
    // The sliders moved by code with the records, and sent nothing more.
    EXPECT_EQ(f.w<QScrollBar>(ctl::ColourOffsets[2])->value(), 50);
    EXPECT_EQ(f.w<QLabel>(ctl::GammaTransLabels[0])->text(), "2.2");
    EXPECT_EQ(f.w<QScrollBar>(ctl::EdgeWidths[1])->value(), 49);
    EXPECT_EQ(f.w<QLabel>(ctl::EdgeWidthLabels[1])->text(), "0");
    EXPECT_EQ(f.s.settings().BlendSettings[0].transitionGamma(2), 220);
}

TEST(BlendPages, ColourOffsetResetPausesAfterEachCommand)
{
    PagesFixture f;
    f.clock.clearWaits();
    std::vector<qint64> sentAt;
    f.box.replyHook = [&](std::uint32_t, std::vector<std::uint8_t>&) {
        sentAt.push_back(f.clock.tickMs());
        return true;
    };
    const qint64 start = f.clock.tickMs();
    QTest::mouseClick(f.w<QPushButton>(ctl::BTNColorBiasReset), Qt::LeftButton);
    RunUntilIdle(f.s);
    EXPECT_EQ(sentAt, (std::vector<qint64>{start, start + 500, start + 1000}));
    EXPECT_EQ(f.clock.tickMs(), start + 1500);
}

TEST(BlendPages, RefreshFillsFromTheRecordsAndTheMarkerFollowsItsFlag)
{
    PagesFixture f;
    BlendRecord& b = f.s.settings().BlendSettings[1];
    b.setEdgeWidth(2, 300);
    b.setTransitionGamma(0, 50); // below the slider's range: shown at 90, and 90 kept
    b.blackLevel(RegionSlot[8], 1) = 33;
    b.setCorner(5, -1100, 800);
    f.s.settings().SelectedRegion[1] = 8;
    f.s.settings().SelectedCorner[1] = 5;
    f.s.settings().EdgeMaskCorners.y[1][2] = -700;
    f.s.settings().SelectedMaskCorner[1] = 2;
    f.s.settings().BlendMarker[1] = 0;
    f.release(ctl::GammaTrans[0], 200);
    f.sent();

    f.selectWindow(1);
    EXPECT_EQ(f.w<QScrollBar>(ctl::EdgeWidths[2])->value(), 300);
    EXPECT_EQ(f.w<QScrollBar>(ctl::GammaTrans[0])->value(), 90);
    EXPECT_EQ(f.w<QLabel>(ctl::GammaTransLabels[0])->text(), "0.9");
    EXPECT_EQ(b.transitionGamma(0), 90);
    EXPECT_EQ(f.w<QScrollBar>(ctl::BlackOffsets[1])->value(), 33);
    EXPECT_TRUE(f.w<QRadioButton>(ctl::RBOffsets[8])->isChecked());
    EXPECT_EQ(f.w<QScrollBar>(ctl::CornerSliders[0])->value(), -1100);
    EXPECT_TRUE(f.w<QRadioButton>(ctl::RBCorners[5])->isChecked());
    EXPECT_EQ(f.w<QScrollBar>(ctl::MaskSliders[1])->value(), -700);
    EXPECT_TRUE(f.w<QRadioButton>(ctl::RBMasks[2])->isChecked());
    EXPECT_FALSE(f.w<QCheckBox>(ctl::BlendMarkerEn)->isChecked());
    EXPECT_TRUE(f.sent().empty());

    // The marker sends its frame whether the user or a refresh changes it.
    const auto markerFrames = [&f] {
        RunUntilIdle(f.s);
        std::vector<std::pair<int, int>> frames;
        for (const auto& fr : f.link->sent)
            if (fr[4] == 0x30 && fr[5] == 0x20)
                frames.emplace_back(fr[8], fr[9]);
        f.link->clearLog();
        return frames;
    };
    QTest::mouseClick(f.w<QCheckBox>(ctl::BlendMarkerEn), Qt::LeftButton);
    EXPECT_EQ(markerFrames(), (std::vector<std::pair<int, int>>{{1, 1}}));
    EXPECT_EQ(f.s.settings().BlendMarker[1], 1);
    f.selectWindow(0);
    f.s.settings().BlendMarker[0] = 0;
    RefreshPages(f.s);
    EXPECT_EQ(markerFrames(), (std::vector<std::pair<int, int>>{{0, 0}}));
}

TEST(BlendPages, SelectionsOutsideTheirButtonsShowNoneAndSendNothing)
{
    PagesFixture f;
    LogCapture log;
    f.s.settings().SelectedRegion[0] = 9;
    f.s.settings().SelectedCorner[0] = 200;
    RefreshBlendPages(f.s);
    RefreshBlendPages(f.s);
    for (const Control& r : ctl::RBOffsets)
        EXPECT_FALSE(f.w<QRadioButton>(r)->isChecked()) << r.name;
    for (const Control& r : ctl::RBCorners)
        EXPECT_FALSE(f.w<QRadioButton>(r)->isChecked()) << r.name;
    EXPECT_EQ(LogCapture::count, 2);
    f.release(ctl::BlackOffsets[0], 40);
    f.release(ctl::CornerSliders[0], 40);
    EXPECT_TRUE(f.sent().empty());
    // A click makes a valid selection again.
    QTest::mouseClick(f.w<QRadioButton>(ctl::RBOffsets[1]), Qt::LeftButton);
    f.release(ctl::BlackOffsets[0], 41);
    EXPECT_EQ(f.sent(), (Texts{"s0095I+004", "s00BCR+041"}));
}

TEST(SystemPage, StaticIpEnablesTheAddressesAndUpdateSendsThem)
{
    PagesFixture f;
    SetPageAvailable(f.s, Page::System, true);
    QTest::mouseClick(f.w<QRadioButton>(ctl::RBDHCP), Qt::LeftButton);
    for (const Control& e : ctl::NetworkEdits)
        EXPECT_FALSE(f.w(e)->isEnabled()) << e.name;
    QTest::mouseClick(f.w<QRadioButton>(ctl::RBSTATICIP), Qt::LeftButton);
    for (const Control& e : ctl::NetworkEdits)
        EXPECT_TRUE(f.w(e)->isEnabled()) << e.name;
    f.w<QLineEdit>(ctl::NetworkEdits[0])->setText(QStringLiteral("192.168.5.20"));
    f.link->clearLog();
    QTest::mouseClick(f.w<QPushButton>(ctl::Button15), Qt::LeftButton);
    ASSERT_EQ(f.link->sentCodes, std::vector<std::uint32_t>{0x1003});
    const auto& frame = f.link->sent.front();
    EXPECT_EQ(
        std::vector<int>(frame.begin() + 8, frame.begin() + 13), (std::vector<int>{0, 192, 168, 5, 20}));
}
