// The Image and Video Wall pages and the window selection, driven through their widgets against
// the simulated box: what each user action sends, and what a refresh shows.

#include "box/Box.h"
#include "AppFixture.h"

#include "box/StatusPoll.h"
#include "settings/OutputModes.h"
#include "settings/SettingsState.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace trivel;
using namespace trivel::test;

namespace {

struct Pages : AppFixture {
    Pages() { connectFakeBox().delivery = Delivery::Synchronous; }

    QScrollBar* bar(const char* name) { return find<QScrollBar>(name); }
    QLineEdit* edit(const char* name) { return find<QLineEdit>(name); }
    QAbstractButton* button(const char* name) { return find<QAbstractButton>(name); }
    QString text(const char* label) { return find<QLabel>(label)->text(); }
    WindowSettingsRecord& ws() { return s.settings().WindowSettings; }

    // The setting texts sent since the last call, once every operation has ended.
    std::vector<std::string> settings()
    {
        RunUntilIdle(s);
        std::vector<std::string> texts;
        for (const auto& f : link->sent)
            if (f.size() >= 20 && f[4] == 0x02 && f[5] == 0x10)
                texts.emplace_back(reinterpret_cast<const char*>(f.data()) + 8, 10);
        link->clearLog();
        return texts;
    }

    // Types into an overscan edit and presses a key; a message box that comes up is read and closed.
    QString type(const char* name, const QString& typed, Qt::Key key = Qt::Key_Return)
    {
        QLineEdit* e = edit(name);
        // Typing reaches an edit on the page on show (on Warp Adjust the arrows move points).
        for (int i = 0; i < form.PCMain->count(); ++i)
            if (form.PCMain->widget(i)->isAncestorOf(e))
                form.PCMain->setCurrentIndex(i);
        if (!typed.isNull())
            e->setText(typed);
        QString shown;
        QTimer::singleShot(0, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
            }
        });
        QTest::keyClick(e, key);
        QApplication::processEvents();
        return shown;
    }
};

// A thumb dragged to `to` and released.
void Drag(QAbstractSlider* b, int to)
{
    b->setSliderDown(true);
    b->setSliderPosition(to);
    b->setSliderDown(false);
}

struct ActionCase {
    const char* name;
    std::function<void(Pages&)> before; // by code: sends nothing
    std::function<void(Pages&)> act;
    std::vector<std::string> sent;
    std::function<void(Pages&)> check;
};

const ActionCase kActions[] = {
    {"sharpness released at 7", {}, [](Pages& p) { Drag(p.bar("SBXha"), 7); }, {"s00XHA+070"},
        [](Pages& p) {
            EXPECT_EQ(p.text("STXha"), "70");
            EXPECT_EQ(p.ws().XHA[0], 7);
        }},
    {"sharpness arrow from 6 sends the new value", [](Pages& p) { p.bar("SBXha")->setValue(6); },
        [](Pages& p) { p.bar("SBXha")->triggerAction(QAbstractSlider::SliderSingleStepAdd); }, {"s00XHA+070"},
        [](Pages& p) { EXPECT_EQ(p.ws().XHA[0], 7); }},
    {"zoom lowered below the pan takes the pan along",
        [](Pages& p) {
            p.bar("SBHzm")->setValue(4);
            p.bar("SBHpn")->setValue(4);
        },
        [](Pages& p) { Drag(p.bar("SBHzm"), 2); }, {"s00HZM+001"},
        [](Pages& p) {
            EXPECT_EQ(p.bar("SBHpn")->value(), 2);
            EXPECT_EQ(p.bar("SBHpn")->maximum(), 2);
            EXPECT_EQ(p.ws().HPN[0], 2);
            EXPECT_EQ(p.text("STHpn"), "2");
        }},
    {"overscan 1800 on Enter", {}, [](Pages& p) { EXPECT_EQ(p.type("EditOte", "1800"), ""); }, {"s00OTE1800"},
        [](Pages& p) {
            EXPECT_EQ(p.bar("SBOte")->value(), 1800);
            EXPECT_EQ(p.ws().OTE[0], 1800);
        }},
    {"overscan -1500 on Enter", {}, [](Pages& p) { p.type("EditOte", "-1500"); }, {"s00OTE9500"},
        [](Pages& p) { EXPECT_EQ(p.ws().OTE[0], -1500); }},
    {"overscan typed without Enter", {}, [](Pages& p) { p.type("EditOte", "120", Qt::Key_5); }, {},
        [](Pages& p) { EXPECT_EQ(p.ws().OTE[0], 0); }},
    {"arrow up at 1800 stays", [](Pages& p) { p.bar("SBOle")->setValue(1800); },
        [](Pages& p) { p.type("EditOle", QString(), Qt::Key_Up); }, {},
        [](Pages& p) { EXPECT_EQ(p.bar("SBOle")->value(), 1800); }},
    {"arrow up shows and caches without sending", {},
        [](Pages& p) { p.type("EditOle", QString(), Qt::Key_Up); }, {},
        [](Pages& p) {
            EXPECT_EQ(p.edit("EditOle")->text(), "1");
            EXPECT_EQ(p.ws().OLE[0], 1);
        }},
    {"orientation picture clicked twice", {},
        [](Pages& p) {
            QTest::mouseClick(p.find<QLabel>("ImgRot4"), Qt::LeftButton);
            QTest::mouseClick(p.find<QLabel>("ImgRot4"), Qt::LeftButton);
        },
        {"s00ORI+003"},
        [](Pages& p) {
            EXPECT_TRUE(p.button("RBRot4")->isChecked());
            EXPECT_EQ(p.ws().ORI[0], 3);
        }},
    {"Reddish leaves the gains where they are",
        [](Pages& p) {
            p.ws().CLR[0] = 3;
            RefreshPages(p.s);
            p.bar("SBRGN")->setValue(40);
        },
        [](Pages& p) {
            ASSERT_TRUE(p.bar("SBGGN")->isEnabled());
            QTest::keyClick(p.find<QComboBox>("CBColor"), Qt::Key_Home);
        },
        {"s00CLR+000"},
        [](Pages& p) {
            for (const char* gain : {"SBRGN", "SBGGN", "SBBGN"})
                EXPECT_FALSE(p.bar(gain)->isEnabled()) << gain;
            EXPECT_EQ(p.bar("SBRGN")->value(), 40);
            EXPECT_EQ(p.ws().RGN[0], 40);
            EXPECT_EQ(p.ws().CLR[0], 0);
        }},
    {"output mode button", {}, [](Pages& p) { p.button("BtnOut10")->click(); }, {"s00OPM+008"},
        [](Pages& p) { EXPECT_EQ(p.ws().OPM[0], 8); }},
};

class PictureAction : public ::testing::TestWithParam<ActionCase> { };

TEST_P(PictureAction, SendsWhatTheUserDidOnce)
{
    const ActionCase& c = GetParam();
    Pages p;
    if (c.before)
        c.before(p);
    EXPECT_EQ(p.settings(), std::vector<std::string>{}) << "moving controls by code sends nothing";
    c.act(p);
    EXPECT_EQ(p.settings(), c.sent);
    c.check(p);
}

INSTANTIATE_TEST_SUITE_P(Pages, PictureAction, ::testing::ValuesIn(kActions), [](const auto& info) {
    std::string n;
    for (const char* c = info.param.name; *c; ++c)
        n += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return n;
});

TEST(PicturePages, InvalidOverscanShowsTheMessageAndKeepsEverything)
{
    for (const char* typed : {"1801", "-1801", "abc", ""}) {
        SCOPED_TRACE(typed);
        Pages p;
        EXPECT_EQ(p.type("EditOte", QString::fromLatin1(typed)), "Please enter valid value(-1800~1800) !!");
        EXPECT_EQ(p.settings(), std::vector<std::string>{});
        EXPECT_EQ(p.bar("SBOte")->value(), 0);
        EXPECT_EQ(p.ws().OTE[0], 0);
        EXPECT_EQ(p.edit("EditOte")->text(), QString::fromLatin1(typed));
    }
}

TEST(PicturePages, SharedHdmiInputsFollowThePartnerWindow)
{
    Pages p;
    p.ws().INP[1] = 0; // window 2 on "HDMI 1"
    p.button("BtnSrc2")->click();
    EXPECT_EQ(p.settings(), std::vector<std::string>{"s00INP+001"});
    EXPECT_EQ(p.ws().INP[0], 1);
    EXPECT_EQ(p.ws().INP[1], 1) << "the partner shares the HDMI inputs";
    p.button("BtnSrc3")->click();
    EXPECT_EQ(p.ws().INP[0], 2);
    EXPECT_EQ(p.ws().INP[1], 1) << "DP is not shared";

    // A PIP-capable box keeps INP for the status poll and notes the PIP source.
    p.s.setFlag(Flag::PipCapable, true);
    p.button("BtnSrc2")->click();
    EXPECT_EQ(p.ws().INP[0], 2);
    EXPECT_EQ(p.s.settings().PipSettings[0].bytes[PipRecord::PIT], 1);
}

TEST(PicturePages, WindowButtonSelectsAndRefillsFromTheCacheAlone)
{
    Pages p;
    p.s.ChannelCount = 4;
    ApplyChannelLayout(p.s, true);
    WindowSettingsRecord& ws = p.ws();
    ws.BRI[2] = 33;
    ws.XHA[2] = 3;
    ws.HZM[2] = 3;
    ws.HPN[2] = 2;
    ws.ORI[2] = 4;
    ws.OPM[2] = 5;
    ws.INP[2] = 2;
    ws.CLR[2] = 3;
    ws.RGN[2] = 12;
    p.s.settings().HDO[2] = 2;
    p.s.LastInputMask = 0x4;
    p.s.InputSize[2] = {1280, 720};
    ws.OBE[2] = -30;
    // The Image page on show: its show handler sends no setting text (Warp Adjust's would).
    SetActivePage(p.s, Page::Image);
    p.link->clearLog();
    p.clock.clearWaits();
    QSignalSpy refreshed(&p.s.events, &SessionEvents::refreshPages);

    QTest::mouseClick(p.button("BtnWin3"), Qt::LeftButton);
    RunUntilIdle(p.s);

    std::vector<std::uint32_t> codes = p.link->sentCodes;
    ASSERT_GE(codes.size(), 3u);
    // The outgoing window's warp cursor goes off first; the box hears of the new window last.
    EXPECT_EQ(codes.front(), Cmd::ControlCursor);
    EXPECT_EQ(p.link->sent.front()[8], 0);
    EXPECT_EQ(p.link->sent.front()[10], 0);
    EXPECT_EQ(codes[1], Cmd::Setting);
    EXPECT_EQ(codes.back(), Cmd::CurrentWindowChanged);
    EXPECT_EQ(p.link->sent.back()[8], 2);
    using K = VirtualClock::WaitKind;
    std::vector<std::pair<K, int>> waits;
    for (const auto& w : p.clock.waits())
        waits.emplace_back(w.kind, w.ms);
    ASSERT_GE(waits.size(), 4u);
    const std::vector<std::pair<K, int>> first(waits.begin(), waits.begin() + 3);
    EXPECT_EQ(first, (std::vector<std::pair<K, int>>{{K::Pump, 20}, {K::Pump, 50}, {K::Sleep, 20}}))
        << "20 ms after the cursor frame, 50 ms after VKY, then a 20 ms wait";
    EXPECT_EQ(waits.back(), (std::pair<K, int>{K::Sleep, 20})) << "the wait after the page's show handler";
    for (std::uint32_t c : codes)
        EXPECT_TRUE(c != Cmd::ReadWindowSettings && c != Cmd::SettingQuery && c != Cmd::ReadBlend)
            << std::hex << c;
    EXPECT_EQ(p.settings(), std::vector<std::string>{"s00VKY+062"});
    EXPECT_EQ(refreshed.count(), 1);
    EXPECT_EQ(p.s.CurrentWindow, 2);
    EXPECT_EQ(p.s.box->warp.state().WarpWindow, 2);
    EXPECT_EQ(p.box.settings().currentWindow, 2) << "the box was told";

    EXPECT_EQ(p.bar("SBBri")->value(), 33);
    EXPECT_EQ(p.text("STXha"), "30");
    EXPECT_EQ(p.bar("SBHzm")->value(), 3);
    EXPECT_EQ(p.bar("SBHpn")->value(), 2);
    EXPECT_EQ(p.bar("SBObe")->value(), -30);
    EXPECT_EQ(p.text("STRes"), "1280 * 720");
    EXPECT_TRUE(p.button("RBRot5")->isChecked());
    EXPECT_TRUE(p.button("BtnOut6")->isChecked());
    EXPECT_TRUE(p.button("BtnSrc3")->isChecked());
    EXPECT_TRUE(p.button("BtnWin3")->isChecked());
    EXPECT_EQ(p.find<QComboBox>("CBColor")->currentIndex(), 3);
    EXPECT_TRUE(p.bar("SBRGN")->isEnabled());
    EXPECT_EQ(p.bar("SBRGN")->value(), 12);
    EXPECT_EQ(p.button("BtnSrc1")->text(), "HDMI 3") << "windows 3 and 4 share the second set of inputs";

    // The page on show runs its show handler again, for the new window, before 0x2015.
    SetPageAvailable(p.s, Page::Image, true);
    SetActivePage(p.s, Page::Image);
    p.link->clearLog();
    QTest::mouseClick(p.button("BtnWin2"), Qt::LeftButton);
    RunUntilIdle(p.s);
    EXPECT_EQ(p.link->sentCodes,
        (std::vector<std::uint32_t>{Cmd::ControlCursor, Cmd::Setting, Cmd::BlendMarker,
            Cmd::TestPatternColour, Cmd::ControlCursor, Cmd::CurrentWindowChanged}));
    ASSERT_EQ(p.link->sent.size(), 6u);
    EXPECT_EQ(p.link->sent[0][8], 2) << "the cursor of window 3 goes off";
    EXPECT_EQ(p.link->sent[2][8], 1) << "the show request is for window 2";
}

TEST(PicturePages, RefreshClampsThePanAndNeverSends)
{
    Pages p;
    // The pan already shows 2: the clamped value must reach the cache without a position change.
    p.bar("SBHzm")->setValue(2);
    p.bar("SBHpn")->setValue(2);
    p.ws().HZM[0] = 2;
    p.ws().HPN[0] = 5;
    p.ws().VZM[0] = 20; // beyond the zoom's own range
    RefreshPages(p.s);
    EXPECT_EQ(p.bar("SBHpn")->value(), 2);
    EXPECT_EQ(p.ws().HPN[0], 2);
    EXPECT_EQ(p.ws().VZM[0], 15);
    EXPECT_TRUE(p.link->sent.empty());
}

TEST(PicturePages, NoInputSignalZeroesTheOverscans)
{
    for (const bool signal : {false, true}) {
        SCOPED_TRACE(signal);
        Pages p;
        p.s.LastInputMask = signal ? 0x1 : 0x2;
        p.s.InputSize[0] = {1920, 1080};
        p.ws().OLE[0] = 100;
        p.ws().ORE[0] = -5;
        p.ws().OTE[0] = 7;
        p.ws().OBE[0] = 1800;
        RefreshPages(p.s);
        EXPECT_EQ(p.text("STRes"), signal ? "1920 * 1080" : "- - - - - - - -");
        EXPECT_EQ(p.ws().OLE[0], signal ? 100 : 0);
        EXPECT_EQ(p.ws().OBE[0], signal ? 1800 : 0);
        EXPECT_EQ(p.edit("EditOle")->text(), signal ? "100" : "0");
        EXPECT_EQ(p.bar("SBObe")->value(), signal ? 1800 : 0);
        EXPECT_TRUE(p.link->sent.empty());
    }
}

// The refresh at the end of the connect read-back comes before any status reply: the signal is
// not known yet, and the overscans the box reported stay.
TEST(PicturePages, OverscansStayUntilTheSignalIsKnown)
{
    Pages p;
    p.s.LastInputMask = kSignalMaskUnknown; // as a connect leaves it
    p.ws().OLE[0] = 100;
    p.ws().OBE[0] = -1800;
    RefreshPages(p.s);
    EXPECT_EQ(p.text("STRes"), "- - - - - - - -");
    EXPECT_EQ(p.ws().OLE[0], 100);
    EXPECT_EQ(p.ws().OBE[0], -1800);
    EXPECT_EQ(p.edit("EditOle")->text(), "100");
}

TEST(PicturePages, StatusPollNamingAnotherWindowDoesNotRefresh)
{
    Pages p;
    p.box.settings().currentWindow = 3;
    p.ws().BRI[0] = 61;
    RefreshPages(p.s);
    p.s.setFlag(Flag::InputSetChanged, false);
    QSignalSpy refreshed(&p.s.events, &SessionEvents::refreshPages);
    const Operation<void> read = ReadWindowSettingsAfterPoll(p.s);
    RunUntilIdle(p.s);
    EXPECT_TRUE(read.succeeded());
    EXPECT_EQ(p.s.CurrentWindow, 3);
    EXPECT_EQ(p.s.box->warp.state().WarpWindow, 3);
    EXPECT_EQ(refreshed.count(), 0);
    EXPECT_TRUE(p.button("BtnWin1")->isChecked()) << "its window button is not pressed";
    EXPECT_EQ(p.bar("SBBri")->value(), 61);
}

int g_settingsWarnings = 0;
void CountSettingsWarnings(QtMsgType, const QMessageLogContext& ctx, const QString&)
{
    if (ctx.category && QByteArray(ctx.category) == "trivel.settings")
        ++g_settingsWarnings;
}

TEST(PicturePages, IndicesOutsideTheirTablesShowNothingAndAreLoggedOnce)
{
    Pages p;
    p.ws().OPM[0] = 200;
    p.ws().INP[0] = 9;
    p.ws().ORI[0] = 7;
    p.ws().CLR[0] = 6;
    p.s.settings().HDO[0] = 3;
    g_settingsWarnings = 0;
    QtMessageHandler previous = qInstallMessageHandler(CountSettingsWarnings);
    RefreshPages(p.s);
    RefreshPages(p.s);
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_settingsWarnings, 5);
    for (const OutputMode& m : kOutputModes)
        EXPECT_FALSE(p.button(m.button.name)->isChecked()) << m.button.name;
    for (const char* b : {"BtnSrc1", "BtnSrc2", "BtnSrc3", "BtnSrc4", "RBRot1", "RBRot2", "RBRot3", "RBRot4",
             "RBRot5", "RBRot6"})
        EXPECT_FALSE(p.button(b)->isChecked()) << b;
    EXPECT_EQ(p.find<QComboBox>("CBColor")->currentIndex(), -1);
    EXPECT_FALSE(p.bar("SBRGN")->isEnabled());
    EXPECT_TRUE(p.link->sent.empty());

    // A value back in its table selects again.
    p.ws().OPM[0] = 14;
    RefreshPages(p.s);
    EXPECT_TRUE(p.button("BtnOut16")->isChecked());
}

} // namespace

namespace {

TEST(PicturePages, OutputSettingsGoToBothWindowsOfAPair)
{
    Pages p;
    p.s.setFlag(Flag::PairedOutputs, true);
    p.s.CurrentWindow = 2;
    RefreshPages(p.s);
    EXPECT_TRUE(p.link->sent.empty());
    QTest::mouseClick(p.find<QAbstractButton>("CBDeepColor"), Qt::LeftButton);
    EXPECT_EQ(p.settings(), std::vector<std::string>{"s00DCM+001"});
    EXPECT_EQ(p.s.settings().DCM[2], 1);
    EXPECT_EQ(p.s.settings().DCM[3], 1);
    auto items = p.find<QWidget>("RGHDCPOutput")->findChildren<QRadioButton*>();
    ASSERT_EQ(items.size(), 3);
    items[1]->click();
    EXPECT_EQ(p.settings(), std::vector<std::string>{"s00HDO+001"});
    EXPECT_EQ(p.s.settings().HDO[3], 1);

    // Refilled from the cache: shown, not sent.
    p.s.CurrentWindow = 0;
    p.s.settings().DCM[0] = 1;
    p.s.settings().HDO[0] = 2;
    RefreshPages(p.s);
    EXPECT_TRUE(p.find<QAbstractButton>("CBDeepColor")->isChecked());
    EXPECT_TRUE(items[2]->isChecked());
    EXPECT_EQ(p.settings(), std::vector<std::string>{});
}

TEST(PicturePages, NinetyAndTwoSeventyOnlyWhereTheWindowAllowsThem)
{
    struct Case {
        bool pip;
        int caps;
        int pipMode;
        int ori;
        bool available;
        int oriAfter;
    } cases[] = {
        {false, 0x00, 0, 1, true, 1},
        {false, 0x80, 0, 1, false, 1}, // unavailable, but ORI stays
        {true, 0x80, 0, 2, true, 2},
        {true, 0x00, 1, 2, false, 0}, // a PIP on screen: back to Normal
        {true, 0x00, 1, 4, false, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.pip << " " << c.caps << " " << c.pipMode << " " << c.ori);
        Pages p;
        p.s.setFlag(Flag::PipCapable, c.pip);
        p.ws().WindowCaps[0] = std::uint8_t(c.caps);
        p.s.settings().PipSettings[0].bytes[PipRecord::PIO] = std::uint8_t(c.pipMode);
        p.ws().ORI[0] = std::uint8_t(c.ori);
        RefreshPages(p.s);
        EXPECT_EQ(p.ws().ORI[0], c.oriAfter);
        for (const char* name : {"RBRot2", "RBRot3"})
            EXPECT_EQ(p.button(name)->isEnabled(), c.available) << name;
        EXPECT_EQ(!p.find<QLabel>("ImgRot3")->isHidden(), c.available);
        EXPECT_TRUE(p.button("RBRot4")->isEnabled());
        EXPECT_TRUE(p.button(qPrintable(QStringLiteral("RBRot%1").arg(c.oriAfter + 1)))->isChecked());
        EXPECT_TRUE(p.link->sent.empty());
    }
}

} // namespace
