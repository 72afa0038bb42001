#include "box/Box.h"
#include "AppFixture.h"

#include "app/BuildInfo.h"
#include "app/ControlTables.h"
#include "widgets/IpAddressEdit.h"
#include "box/PageShow.h"
#include "box/StatusPoll.h"
#include "support/Controls.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace trivel;
using namespace trivel::test;

TEST(BuildCaption, AppendsTheBuildDateAsSixDigits)
{
    const struct {
        QDate date;
        const char* caption;
    } cases[] = {
        {QDate(2024, 3, 5), "TRIVEL 3  V2.1.240305"},
        {QDate(2021, 1, 14), "TRIVEL 3  V2.1.210114"},
        {QDate(2009, 12, 31), "TRIVEL 3  V2.1.091231"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildCaption(c.date), QString::fromLatin1(c.caption)) << c.caption;
}

TEST(BuildCaption, MainWindowShowsTodaysBuild)
{
    AppFixture f;
    EXPECT_EQ(f.form.windowTitle(), BuildCaption(BuildDate()));
    EXPECT_TRUE(BuildDate().isValid());
    EXPECT_NE(BuildDate(), QDate(2000, 1, 1));
}

TEST(MainWindow, PagesHaveCaptionTagAndStartUpVisibility)
{
    AppFixture f;
    QTabWidget* pc = f.form.PCMain;
    ASSERT_EQ(pc->count(), kPageCount);
    EXPECT_EQ(pc->currentIndex(), 0);
    EXPECT_EQ(f.ui.activePage(), 0);
    for (int i = 0; i < kPageCount; ++i) {
        SCOPED_TRACE(i);
        QWidget* page = pc->widget(i);
        const PageInfo& info = kPages[std::size_t(i)];
        EXPECT_EQ(page->objectName(), info.control.qname());
        EXPECT_EQ(pc->tabText(i), QString::fromLatin1(info.caption));
        EXPECT_EQ(page->property("Tag").toInt(), PageTag(i));
        const bool visible = info.visibleAtStart;
        EXPECT_EQ(pc->isTabVisible(i), visible);
        EXPECT_EQ(f.ui.isVisible(info.control), visible);
        // Hidden pages are disabled too; the mirror and the session agree with the widget.
        EXPECT_EQ(f.ui.isEnabled(info.control), visible);
        EXPECT_EQ(f.s.PageEnabled[std::size_t(i)], visible);
        EXPECT_EQ(page->isEnabled(), visible);
    }
    // The captions as the user reads them, including the odd ones.
    EXPECT_EQ(pc->tabText(11), "K410 Reg");
    EXPECT_EQ(pc->tabText(12), "TntTabSheet13");
    EXPECT_EQ(pc->tabText(13), "User Map");
}

TEST(MainWindow, FixedClientAreaAndGroupPositions)
{
    AppFixture f;
    EXPECT_EQ(f.form.size(), QSize(794, 455));
    EXPECT_EQ(f.form.minimumSize(), f.form.maximumSize());
    const struct {
        const char* name;
        QRect geometry;
    } groups[] = {
        {"Grop1", {4, 0, 650, 62}},
        {"GBLogo", {658, 0, 134, 61}},
        {"SLGroup", {658, 56, 134, 75}},
        {"GroupBox1", {4, 57, 650, 394}},
        {"PCMain", {10, 16, 633, 371}},
        // At start the frame is cut to the two window buttons of a box not yet connected.
        {"BtnFrame", {658, 128, 133, kBtnWinTop[1] + kBtnWinHeight + 6}},
    };
    for (const auto& g : groups) {
        QWidget* w = f.find(g.name);
        ASSERT_NE(w, nullptr) << g.name;
        EXPECT_EQ(w->geometry(), g.geometry) << g.name;
    }
    for (int i = 0; i < 4; ++i) {
        auto* b = f.find<QPushButton>(qPrintable(QStringLiteral("BtnWin%1").arg(i + 1)));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->y(), kBtnWinTop[std::size_t(i)]);
        EXPECT_EQ(b->height(), kBtnWinHeight);
        EXPECT_EQ(b->text(), QString::number(i + 1));
        EXPECT_EQ(b->property("Tag").toInt(), i);
        EXPECT_EQ(b->parentWidget(), f.find("BtnFrame"));
    }
    EXPECT_EQ(f.find("Image1")->parentWidget(), f.find("GBLogo"));
    EXPECT_EQ(f.find<QPushButton>("TntButton1")->text(), "Save Setting");
    EXPECT_EQ(f.find<QPushButton>("TntButton2")->text(), "Load Setting");
}

TEST(MainWindow, AddressEditsSitBesideTheirLabels)
{
    AppFixture f;
    QRadioButton* tcp = f.form.RBTCP;
    EXPECT_EQ(tcp->text(), "IP Address");
    EXPECT_EQ(f.form.RBUSB->text(), "USB");
    EXPECT_EQ(f.form.BtnCnt2->text(), "Connect");
    EXPECT_EQ(
        f.form.ConnectAddressBox->geometry(), QRect(tcp->x() + tcp->width() + 4, tcp->y() - 4, 220, 24));
    EXPECT_EQ(f.form.ConnectAddressBox->text(), "192.168.0.100");

    const struct {
        const char* label;
        const char* caption;
        const char* edit;
        const char* text;
    } rows[] = {
        {"LBIP", "IP : ", ctl::NetworkEdits[0].name, "192.168.0.100"},
        {"LBMask", "SubNet Mask", ctl::NetworkEdits[1].name, "255.255.255.0"},
        {"LBGateway", "GateWay : ", ctl::NetworkEdits[2].name, "192.168.0.1"},
    };
    for (const auto& r : rows) {
        auto* l = f.find<QLabel>(r.label);
        auto* e = f.find<IpAddressEdit>(r.edit);
        ASSERT_TRUE(l && e) << r.label;
        EXPECT_EQ(l->text(), QString::fromLatin1(r.caption));
        EXPECT_EQ(e->parentWidget(), f.find("GBNet"));
        EXPECT_EQ(e->geometry(), QRect(l->x() + l->width() + 4, l->y() - 4, 180, 24)) << r.edit;
        EXPECT_EQ(e->text(), QString::fromLatin1(r.text));
    }
}

TEST(MainWindow, AddressEditTakesOnlyFourPartsOfZeroTo255)
{
    AppFixture f;
    IpAddressEdit* e = f.form.ConnectAddressBox;
    e->clear();
    e->setFocus();
    QTest::keyClicks(e, "10.0.300.1x.7");
    // "300", the letter and a fifth part are refused.
    EXPECT_EQ(e->text(), "10.0.30.17");
    EXPECT_EQ(e->maxLength(), 15);
}

TEST(MainWindow, LookupTablesNameTheirControlsOnTheirPages)
{
    AppFixture f;
    for (int i = 0; i < kLookupSize; ++i) {
        const Control* c = kControlLookup[std::size_t(i)];
        const char* name = c ? c->name : nullptr;
        if (!name) {
            EXPECT_EQ(f.form.lookup(i), nullptr) << i;
            continue;
        }
        ASSERT_NE(f.form.lookup(i), nullptr) << name;
        EXPECT_EQ(f.form.lookup(i)->objectName(), QString::fromLatin1(name));
    }
    const struct {
        int first, count;
        const char* page;
    } homes[] = {
        {Lookup::OutputMode, 15, "TabImage"},
        {Lookup::Input, 4, "TabImage"},
        {Lookup::Rotation, 6, "TabVideoWall"},
        {Lookup::Offset, 9, "TabEdgeBlend2"},
        {Lookup::Corner, 8, "TabEdgeBlend2"},
        {Lookup::MaskCorner, 8, "TabMask"},
    };
    for (const auto& h : homes)
        for (int i = h.first; i < h.first + h.count; ++i)
            EXPECT_TRUE(f.find(h.page)->isAncestorOf(f.form.lookup(i))) << i;

    // The output-mode buttons' Tag is the OPM code they stand for.
    const char* late[] = {"1920x1080(50)", "1920*1200(30)", "1920x1080(24)", "1920x1080(30)", "2048x1080",
        "1024x768(120)", "1280*720(120)", "1280*800(120)"};
    for (int code = 0; code < 15; ++code)
        EXPECT_EQ(f.form.lookup(Lookup::OutputMode + code)->property("Tag").toInt(), code);
    for (int k = 0; k < 8; ++k) {
        QAbstractButton* b = f.find<QAbstractButton>(qPrintable(QStringLiteral("BtnOut%1").arg(9 + k)));
        EXPECT_EQ(b->text(), QString::fromLatin1(late[k]));
    }
    // The start-up refresh names the inputs of window 1.
    const char* inputs[] = {"HDMI 1", "HDMI 2", "DP 1", "VGA 1"};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(f.form.lookup(Lookup::Input + k)->text(), QString::fromLatin1(inputs[k]));
}

TEST(MainWindow, HiddenControlsLieOutsideTheClientArea)
{
    AppFixture f;
    const QRect client = f.form.rect();
    EXPECT_EQ(f.form.UpdateStep->geometry(), QRect(87, 680, 620, 116));
    EXPECT_EQ(f.form.ProgressBar2->minimum(), 0);
    EXPECT_EQ(f.form.ProgressBar2->maximum(), 100);
    EXPECT_TRUE(f.form.UpdateStep->findChild<QLabel*>()->text() == "Upload Data.......");
    EXPECT_FALSE(client.intersects(f.form.Memo1->geometry()));
    EXPECT_EQ(f.form.Memo1->font().family(), "Source Code Pro");
    EXPECT_EQ(f.form.Memo1->font().pixelSize(), 11);
    for (int i = 5; i <= 8; ++i) {
        for (const char* prefix : {"BtnWin", "PnlOpt", "PnlIpt"}) {
            QWidget* w = f.find(qPrintable(QStringLiteral("%1%2").arg(prefix).arg(i)));
            ASSERT_NE(w, nullptr) << prefix << i;
            EXPECT_FALSE(client.intersects(w->geometry())) << prefix << i;
        }
        EXPECT_FALSE(f.find(ctl::BtnWins[std::size_t(i - 1)].name)->isEnabled());
    }
    // Memo lines reach the hidden memo.
    f.ui.appendMemo(QStringLiteral("NO ACK RESEND"));
    EXPECT_EQ(f.form.Memo1->toPlainText(), "NO ACK RESEND");
}

TEST(MainWindow, SystemPageButtonsCarryTheirTags)
{
    AppFixture f;
    f.connectFakeBox(); // they are greyed out without a box
    QWidget* system = f.find("TabSystem");
    for (int i = 0; i < 5; ++i) {
        for (int first : {5, 10}) {
            auto* b = f.find<QPushButton>(qPrintable(QStringLiteral("Button%1").arg(first + i)));
            ASSERT_NE(b, nullptr);
            EXPECT_TRUE(system->isAncestorOf(b));
            EXPECT_EQ(b->text(), QString::number(i + 1));
            EXPECT_EQ(b->property("Tag").toInt(), i);
        }
    }
    const struct {
        const char* name;
        const char* caption;
        const char* page;
    } buttons[] = {
        {"BtnAllReset", "All Reset", "TabSystem"},
        {"BtnReboot", "Reboot", "TabSystem"},
        {"FRstBtn", "Do Factory Reset", "TabSystem"},
        {"BtnReset", "Reset ", "TabVideoWall"},
    };
    for (const auto& b : buttons) {
        auto* w = f.find<QPushButton>(b.name);
        ASSERT_NE(w, nullptr) << b.name;
        EXPECT_EQ(w->text(), QString::fromLatin1(b.caption));
        EXPECT_TRUE(f.find(b.page)->isAncestorOf(w)) << b.name;
        EXPECT_TRUE(w->isEnabled()) << b.name;
    }
    EXPECT_TRUE(f.find("TabFirmware")->isAncestorOf(f.find("MCUVersion")));
    EXPECT_TRUE(f.find("TabVideoWall")->isAncestorOf(f.find("STRes")));
    EXPECT_TRUE(f.find("TabPIP")->isAncestorOf(f.find("STPIPRes")));
    EXPECT_EQ(f.find<QLabel>("STRes")->text(), "- - - - - - - -");
}

TEST(MainWindow, StartUpLeavesTheLinkIdleOnUsb)
{
    AppFixture f;
    EXPECT_TRUE(f.form.RBUSB->isChecked());
    EXPECT_FALSE(f.form.RBTCP->isChecked());
    EXPECT_FALSE(f.form.BtnCnt2->isEnabled()); // no box on USB
    EXPECT_EQ(f.form.BtnCnt2->text(), "Connect");
    EXPECT_FALSE(f.s.FactoryResetPending);
    EXPECT_EQ(f.s.CurrentWindow, 0);
    EXPECT_EQ(f.s.box->warp.state().WarpWindow, 0);
    for (const WarpModel& m : f.s.box->warp.state().model)
        EXPECT_EQ(QSize(m.frameWidth, m.frameHeight), QSize(1920, 1080));
    EXPECT_TRUE(f.find<QPushButton>("BtnWin1")->isChecked());
    EXPECT_FALSE(f.find("BtnWin3")->isEnabled());
    EXPECT_FALSE(f.form.CloseTimer->isEnabled());
    EXPECT_EQ(f.form.CloseTimer->interval(), 50);
    EXPECT_FALSE(f.ui.isVisible(ctl::GBUserMask));
}

TEST(ConnectGroup, ClicksReachTheMirrorBeforeTheHandler)
{
    AppFixture f;
    f.form.show();
    QTest::mouseClick(f.form.RBTCP, Qt::LeftButton);
    EXPECT_TRUE(f.ui.isChecked(ctl::RBTCP));
    EXPECT_FALSE(f.ui.isChecked(ctl::RBUSB));
    // TCP selected: the handler enabled the address box and the connect button.
    EXPECT_TRUE(f.form.BtnCnt2->isEnabled());
    EXPECT_TRUE(f.form.ConnectAddressBox->isEnabled());

    f.form.ConnectAddressBox->selectAll();
    QTest::keyClicks(f.form.ConnectAddressBox, "127.0.0.1");
    EXPECT_EQ(f.ui.caption(ctl::ConnectAddressBox), "127.0.0.1");

    // The core's caption changes show on the button.
    f.ui.setCaption(ctl::BtnCnt2, QStringLiteral("Disconnect"));
    EXPECT_EQ(f.form.BtnCnt2->text(), "Disconnect");
    f.ui.setCaption(ctl::BtnCnt2, QStringLiteral("Connect"));
    EXPECT_EQ(f.form.BtnCnt2->text(), "Connect");
}

// The request of a page show, by page, for a connected box.
TEST(PageShow, SendsMarkerPatternAndCursorByPageRules)
{
    const struct {
        int page;
        int model;
        std::vector<std::uint32_t> codes;
    } cases[] = {
        {Page::Image, 0, {Cmd::BlendMarker, Cmd::TestPatternColour, Cmd::ControlCursor}},
        {Page::Image, 116, {Cmd::TestPatternColour, Cmd::ControlCursor}},
        {Page::System, 116, {Cmd::BlendMarker, Cmd::TestPatternColour, Cmd::ControlCursor}},
        {Page::Edid, 116, {Cmd::BlendMarker, Cmd::TestPatternColour, Cmd::ControlCursor}},
        {Page::Firmware, 116, {Cmd::TestPatternColour, Cmd::ControlCursor}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        AppFixture f;
        FakeBoxTransport& box = f.connectFakeBox();
        f.s.BoardModel = c.model;
        f.form.PCMain->setCurrentIndex(c.page);
        ASSERT_TRUE(RunUntilIdle(f.s));
        EXPECT_EQ(box.sentCodes, c.codes);
        EXPECT_EQ(f.ui.activePage(), c.page);
    }
}

TEST(PageShow, BlendPagesSendTheMarkerStateAndDisabledPagesStaySilent)
{
    AppFixture f;
    FakeBoxTransport& box = f.connectFakeBox();
    f.s.CurrentWindow = 2;
    f.s.settings().BlendMarker[2] = 1;
    f.form.PCMain->setCurrentIndex(Page::Blend2);
    ASSERT_TRUE(RunUntilIdle(f.s));
    ASSERT_FALSE(box.sent.empty());
    // Frame bytes 8 and 9 of the marker request: window 2, marker shown.
    EXPECT_EQ(box.sentCodes.front(), Cmd::BlendMarker);
    EXPECT_EQ(box.sent.front()[8], 2);
    EXPECT_EQ(box.sent.front()[9], 1);

    box.sentCodes.clear();
    for (int p : {Page::Blend1, Page::VideoWall}) {
        f.s.PageEnabled[std::size_t(p)] = false;
        f.ui.setEnabled(kPages[std::size_t(p)].control, false);
    }
    f.form.PCMain->setCurrentIndex(Page::Blend1);
    f.form.PCMain->setCurrentIndex(Page::Blend2); // goes by the "Blend 1" page
    f.form.PCMain->setCurrentIndex(Page::VideoWall);
    EXPECT_TRUE(box.sentCodes.empty());
    // EDID has no such rule.
    f.s.PageEnabled[Page::Edid] = false;
    f.ui.setEnabled(ctl::TntTabSheet5, false);
    f.form.PCMain->setCurrentIndex(Page::Edid);
    ASSERT_TRUE(RunUntilIdle(f.s));
    EXPECT_EQ(box.sentCodes.size(), 3u);
}

TEST(PageShow, PagesSwitchedByTheCoreRunNoShowRequest)
{
    AppFixture f;
    FakeBoxTransport& box = f.connectFakeBox();
    SetActivePage(f.s, Page::Image);
    EXPECT_EQ(f.form.PCMain->currentIndex(), Page::Image);
    EXPECT_EQ(f.s.ActivePage, Page::Image);
    EXPECT_TRUE(box.sentCodes.empty());
    // ... unless it asks for the show handler.
    RunPageShow(f.s, Page::Image);
    ASSERT_TRUE(RunUntilIdle(f.s));
    EXPECT_EQ(box.sentCodes.size(), 3u);
}

// With every page a box can bring up visible, each tab stays reachable whichever is selected:
// on the bar, or behind a scroll arrow that is enabled.
TEST(MainWindow, EveryVisibleTabStaysReachable)
{
    AppFixture f;
    f.form.show();
    for (int p : {Page::Pip, Page::DigiMap})
        SetPageAvailable(f.s, p, true);
    QTabWidget* pc = f.form.PCMain;
    QTabBar* bar = pc->tabBar();
    auto arrows = bar->findChildren<QToolButton*>();
    for (int selected = 0; selected < pc->count(); ++selected) {
        if (!pc->isTabVisible(selected))
            continue;
        pc->setCurrentIndex(selected);
        QCoreApplication::processEvents();
        bool leftOpen = false, rightOpen = false;
        for (QToolButton* a : arrows) {
            if (!a->isVisible() || !a->isEnabled())
                continue;
            (a->arrowType() == Qt::LeftArrow ? leftOpen : rightOpen) = true;
        }
        for (int i = 0; i < pc->count(); ++i) {
            if (!pc->isTabVisible(i))
                continue;
            const QRect r = bar->tabRect(i);
            const bool shown = r.isValid() && bar->rect().contains(r);
            const bool behindLeft = r.right() < bar->rect().left() + 1 || (r.isValid() && r.left() < 0);
            const bool behindRight = r.isValid() && r.right() > bar->rect().right();
            EXPECT_TRUE(shown || (behindLeft && leftOpen) || (behindRight && rightOpen))
                << "tab " << i << " unreachable with " << selected << " selected: " << r.x() << ","
                << r.width() << " in bar width " << bar->width();
        }
    }
}

// Without a box the controls that only talk to it are greyed out; what works on the caches or on
// files stays usable. A connect enables them again, and a control the core keeps disabled stays so.
TEST(MainWindow, ControlsThatNeedABoxFollowTheLink)
{
    const char* const boxOnly[] = {"BtnWP2x2", "BtnWP9x5", "BtnWP17x17", "BtnCurLeft", "BtnMoveRight",
        "CBPatternSel1", "TBGrid", "BtnWPReset", "BtnWPUndo", "BtnUserMap1", "BtnSaveMap0", "BtnSaveMap9",
        "Button5", "Button10", "BtnAllReset", "BtnReboot", "FRstBtn", "Button15", "BtnReset"};
    const char* const offline[] = {"TntButton1", "TntButton2", "TBAdjustStep2", "SBBri", "RBTCP", "RBDHCP"};
    AppFixture f;
    f.form.show();
    f.s.PageEnabled.fill(true);
    for (int p = 0; p <= Page::Firmware; ++p)
        SetPageAvailable(f.s, p, true);
    auto check = [&](bool connected) {
        for (const char* name : boxOnly) {
            QWidget* w = f.find(name);
            ASSERT_TRUE(w) << name;
            EXPECT_EQ(w->isEnabled(), connected) << name;
        }
        for (const char* name : offline)
            EXPECT_TRUE(f.find(name)->isEnabled()) << name;
    };
    {
        SCOPED_TRACE("at start");
        check(false);
    }
    f.connectFakeBox();
    {
        SCOPED_TRACE("connected");
        check(true);
    }
    // The core's own choice outlives the link's: "Load  map data " waits for a user map.
    auto* loadMap = f.find("BtnLoadData");
    EXPECT_FALSE(loadMap->isEnabled());
    f.s.setFlag(Flag::Connected, false);
    {
        SCOPED_TRACE("disconnected");
        check(false);
    }
    f.ui.setEnabled(ctl::BtnLoadData, true);
    EXPECT_FALSE(loadMap->isEnabled());
    f.s.setFlag(Flag::Connected, true);
    EXPECT_TRUE(loadMap->isEnabled());
}

// Every caption, radio button and check box of the pages shows its whole text.
TEST(MainWindow, NoCaptionIsCut)
{
    AppFixture f;
    f.connectFakeBox();
    f.form.show();
    for (int p = 0; p <= Page::Firmware; ++p)
        SetPageAvailable(f.s, p, true);
    QCoreApplication::processEvents();
    for (int p = 0; p <= Page::Firmware; ++p) {
        QWidget* page = f.form.PCMain->widget(p);
        for (QLabel* l : page->findChildren<QLabel*>()) {
            if (l->text().isEmpty() || l->wordWrap() || !l->pixmap().isNull() || !l->isVisibleTo(page))
                continue;
            EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->contentsRect().width())
                << qPrintable(page->objectName()) << ": \"" << qPrintable(l->text()) << "\"";
        }
        for (QAbstractButton* b : page->findChildren<QAbstractButton*>()) {
            if (!qobject_cast<QRadioButton*>(b) && !qobject_cast<QCheckBox*>(b))
                continue;
            EXPECT_LE(b->sizeHint().width(), b->width())
                << qPrintable(page->objectName()) << ": \"" << qPrintable(b->text()) << "\"";
        }
    }
}
